// The settings-file loader over any bytes: whatever it reads saves as a well-formed
// file (4033 CR LF lines, texts of at most 31 bytes, numbers as "%f" of finite values),
// and that file loads back to a store that saves the very same bytes.
#include "settings/unitsettings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UnitSettingsStore store;
    store.deserialize(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray saved = store.serialize();

    // Line by line, without copies: this runs a million times.
    static const QByteArray header = QByteArrayLiteral("QNVIEW_02\r\n");
    check(saved.startsWith(header));
    qsizetype pos = header.size();
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
    check(lines == UnitSettingsStore::LinesPerFile);

    UnitSettingsStore again;
    again.deserialize(saved);
    check(again.serialize() == saved);
    return 0;
}
