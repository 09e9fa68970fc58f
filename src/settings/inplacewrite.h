#pragma once
// Rewriting a file whose folder takes no new file (so no copy can be renamed over it).
#include <QByteArray>
#include <QString>

namespace qn {

// Replaces the contents of the existing file at path with bytes, written over the old
// ones where they lie. The file is never emptied or cut before the new bytes are all in
// it: a process killed at any moment leaves the old contents or the new ones, the new
// ones perhaps followed by padding (whitespace lines; padding is what a reader of the
// file that stops after its last record never sees). false when the file is missing or
// cannot be written; the old contents then stay whole unless the write failed half-way
// over them (only when the disk itself fails: the file's space is taken first).
bool overwriteInPlace(const QString &path, const QByteArray &bytes);

} // namespace qn
