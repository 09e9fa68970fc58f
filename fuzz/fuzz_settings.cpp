// The settings-file loader over any bytes: whatever it reads saves as a well-formed
// file (4033 CR LF lines, texts of at most 31 bytes, numbers as "%f" of finite values),
// and that file loads back to a store that saves the very same bytes.
//
// An input of n lines reaches at most the first (n - 1) / 4 records, rounded up (four
// lines a record in the older format); every later record keeps its default. So each
// input saves, checks and reloads only those records and the one after them, which must
// still be at its default: the rest of the file is the defaults' file, checked once at
// the start. Three passes over all 4033 lines for every input made it ten times slower.
#include "settings/unitsettings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using qn::UnitSettingsStore;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isSixDecimals(const char *p, qsizetype n)
{
    qsizetype i = n > 0 && p[0] == '-' ? 1 : 0;
    const qsizetype digits = i;
    while (i < n && p[i] >= '0' && p[i] <= '9')
        ++i;
    if (i == digits || i + 7 != n || p[i] != '.')
        return false;
    for (++i; i < n; ++i)
        if (p[i] < '0' || p[i] > '9')
            return false;
    return true;
}

const QByteArray kHeader = QByteArrayLiteral("QNVIEW_02\r\n");

// Checks the header and every record line of saved; returns the number of lines.
int checkSavedLines(const QByteArray &saved)
{
    check(saved.startsWith(kHeader));
    // Line by line, without copies: this runs millions of times.
    qsizetype pos = kHeader.size();
    int lines = 1;
    while (pos < saved.size()) {
        const qsizetype lf = saved.indexOf('\n', pos);
        check(lf > pos && saved[lf - 1] == '\r');
        const char *line = saved.constData() + pos;
        const qsizetype length = lf - 1 - pos;
        check(std::memchr(line, '\r', size_t(length)) == nullptr);
        const int field = (lines - 1) % 6;
        if (field == 0 || field == 3)
            check(length <= UnitSettingsStore::MaxTextBytes);
        else
            check(isSixDecimals(line, length));
        ++lines;
        pos = lf + 1;
    }
    return lines;
}

// The saved file of a store at its defaults, with where each of its records starts
// (and where the file ends); checked and reloaded once.
struct DefaultsFile {
    QByteArray bytes;
    std::vector<qsizetype> recordStarts;
};

const DefaultsFile &defaultsFile()
{
    static const DefaultsFile file = [] {
        DefaultsFile f{UnitSettingsStore().serialize(), {}};
        check(checkSavedLines(f.bytes) == UnitSettingsStore::LinesPerFile);
        UnitSettingsStore again;
        again.deserialize(f.bytes);
        check(again.serialize() == f.bytes);
        qsizetype pos = kHeader.size();
        for (int record = 0; record < UnitSettingsStore::Records; ++record) {
            f.recordStarts.push_back(pos);
            for (int line = 0; line < 6; ++line)
                pos = f.bytes.indexOf('\n', pos) + 1;
        }
        f.recordStarts.push_back(pos);
        return f;
    }();
    return file;
}

int recordsReached(const uint8_t *data, size_t size)
{
    const auto lines = size_t(std::count(data, data + size, '\n')) + 1;
    return int(std::min<size_t>(UnitSettingsStore::Records, (lines - 1 + 3) / 4));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const DefaultsFile &defaults = defaultsFile();
    // Kept between inputs: only the records an input reaches change, and those are
    // read back to their defaults at the end.
    static UnitSettingsStore store;
    static UnitSettingsStore again;

    const int reached = recordsReached(data, size);
    const int written = std::min(reached + 1, int(UnitSettingsStore::Records));
    store.deserialize(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray saved = store.serializeRecords(written);
    check(checkSavedLines(saved) == 1 + 6 * written);
    if (reached < written) {
        // The first record out of the input's reach is still the default one.
        const qsizetype start = defaults.recordStarts[size_t(reached)];
        const qsizetype length = defaults.recordStarts[size_t(reached) + 1] - start;
        check(saved.endsWith(QByteArrayView(defaults.bytes).sliced(start, length)));
    }

    again.deserialize(saved);
    check(again.serializeRecords(written) == saved);

    const auto reset = QByteArray::fromRawData(defaults.bytes.constData(), defaults.recordStarts[size_t(written)]);
    store.deserialize(reset);
    again.deserialize(reset);
    return 0;
}
