#include "settings/inplacewrite.h"

#include <QFile>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qn {
namespace {

// Puts what was written on the disk before the file's length changes, so the
// length never runs ahead of the contents.
void flushToDisk(QFile &file)
{
    file.flush();
#ifdef Q_OS_WIN
    _commit(file.handle());
#else
    ::fsync(file.handle());
#endif
}

// Blank lines up to length bytes.
QByteArray padded(const QByteArray &bytes, qsizetype length)
{
    QByteArray out = bytes;
    out.reserve(length);
    while (out.size() + 2 <= length)
        out += "\r\n";
    if (out.size() < length)
        out += ' ';
    return out;
}

} // namespace

bool overwriteInPlace(const QString &path, const QByteArray &bytes)
{
    // Opening for reading and writing keeps the contents (a plain open for writing would
    // empty the file before a byte of the new ones is there).
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return false;
    const qsizetype oldLength = qsizetype(file.size());
    if (bytes.size() > oldLength) {
        // The part beyond the old end goes first, behind the old contents, where a reader
        // of a complete file never gets to; if the disk is full this fails and the old
        // file is cut back.
        const QByteArray tail = bytes.mid(oldLength);
        if (!file.seek(oldLength) || file.write(tail) != tail.size()) {
            file.resize(oldLength);
            return false;
        }
        flushToDisk(file);
    }
    // One write of the finished bytes over the old ones; when the new contents are
    // shorter, padding covers the rest of the old ones until the length is cut. Only
    // from the first byte that differs: a change of one number rewrites a few bytes,
    // which the system writes whole even when the process is killed in the middle.
    const QByteArray head = bytes.size() >= oldLength ? bytes.first(oldLength) : padded(bytes, oldLength);
    if (!file.seek(0))
        return false;
    const QByteArray old = file.read(oldLength);
    const qsizetype same = old.size() == oldLength
        ? qsizetype(std::mismatch(head.begin(), head.end(), old.begin()).first - head.begin())
        : 0;
    if (same < head.size()) {
        if (!file.seek(same) || file.write(head.constData() + same, head.size() - same) != head.size() - same)
            return false;
        flushToDisk(file);
    }
    if (bytes.size() < oldLength && !file.resize(bytes.size()))
        return false;
    return true;
}

} // namespace qn
