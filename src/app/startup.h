#pragma once
// What the program works out before the main dialog opens: its folder, the settings
// file beside it, the version text, and the lock that keeps a second copy from running.
#include <QIcon>
#include <QImage>
#include <QString>

#include <memory>

class QLockFile;

namespace qn {

// The executable's folder (its full path without the file name).
QString programFolder(const QString &executablePath);
// The executable's path with its extension, if any, replaced by ".ini"
// ("/opt/qn/qnview" -> "/opt/qn/qnview.ini", "/opt/qn/qnview.bin" -> "/opt/qn/qnview.ini").
QString settingsPathFor(const QString &executablePath);
// "Version 1.13" for 1.1.3.0; with a revision: "Version 2.015" for 2.0.1.5.
QString versionText(int major, int minor, int build, int revision);
// The version text of this build.
QString programVersionText();

// Where the per-unit settings file is kept: beside the program (settingsPathFor) when
// that file exists already or the program's folder is writable, as for a copy unpacked
// into a folder of its own; otherwise the same file name in configFolder, for a program
// installed into a folder its users cannot write.
QString settingsLocation(const QString &executablePath, const QString &configFolder, bool programFolderWritable);
// The first log folder offered: the program's folder when it is writable, otherwise
// "QN-VIEW" in the user's documents folder (made when first used).
QString defaultLogFolder(const QString &programFolder, const QString &documentsFolder, bool programFolderWritable);
// Whether a file can be made in folder, found out by making (and removing) one: the
// permission bits do not tell for root or on a read-only mount.
bool canCreateFilesIn(const QString &folder);

// The program's icon, drawn rather than loaded so every window has it (GUI thread).
QIcon applicationIcon();
// One size of it; also the source of the icon files installed for the desktop.
QImage applicationIconImage(int size);

// Held from start to exit so that only one copy of the program runs for this user.
// A lock file through Qt, the same on every platform: a lock left by a copy that
// crashed names a process that is gone and is taken over, so it never blocks the
// next start.
class SingleInstanceLock final {
public:
    // lockDirectory empty: the user's runtime folder ($XDG_RUNTIME_DIR on Linux, the
    // local application data folder on Windows), or the temporary folder without one.
    explicit SingleInstanceLock(const QString &lockDirectory = QString());
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;

    // True when this copy holds the lock (or when no lock file can be made at all:
    // running twice is then better than not running).
    bool acquired() const { return m_acquired; }
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_acquired = false;
};

} // namespace qn
