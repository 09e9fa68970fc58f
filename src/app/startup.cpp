#include "app/startup.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qn {

QString programFolder(const QString &executablePath)
{
    return QFileInfo(executablePath).absolutePath();
}

QString settingsPathFor(const QString &executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = executablePath.lastIndexOf(QLatin1Char('.'));
    // A dot in a folder name or at the start of a hidden file's name is no extension.
    if (dot > slash + 1)
        return executablePath.left(dot) + QStringLiteral(".ini");
    return executablePath + QStringLiteral(".ini");
}

QString versionText(int major, int minor, int build, int revision)
{
    if (revision == 0)
        return QStringLiteral("Version %1.%2%3").arg(major).arg(minor).arg(build);
    return QStringLiteral("Version %1.%2%3%4").arg(major).arg(minor).arg(build).arg(revision);
}

QString programVersionText()
{
#if defined(QN_VERSION_MAJOR)
    // An empty CMake version part expands to nothing; "+ 0" turns that into 0.
    return versionText(QN_VERSION_MAJOR + 0, QN_VERSION_MINOR + 0, QN_VERSION_PATCH + 0, QN_VERSION_TWEAK + 0);
#else
    return versionText(0, 0, 0, 0);
#endif
}

QString settingsLocation(const QString &executablePath, const QString &configFolder, bool programFolderWritable)
{
    const QString beside = settingsPathFor(executablePath);
    if (programFolderWritable || QFileInfo::exists(beside))
        return beside;
    return QDir(configFolder).filePath(QFileInfo(beside).fileName());
}

QString defaultLogFolder(const QString &programFolder, const QString &documentsFolder, bool programFolderWritable)
{
    if (programFolderWritable)
        return programFolder;
    return QDir(documentsFolder).filePath(QStringLiteral("QN-VIEW"));
}

bool canCreateFilesIn(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".qnview-write-test-XXXXXX")));
    return probe.open();  // removed again when probe goes
}

QImage applicationIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1F, 0x4E, 0x8C));
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        QFont font;
        font.setBold(true);
        font.setPixelSize(size / 2);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("QN"));
    }
    return image;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    return icon;
}

SingleInstanceLock::SingleInstanceLock(const QString &lockDirectory)
{
    QString dir = lockDirectory;
    QString name = QStringLiteral("QN-VIEW.lock");
    if (dir.isEmpty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
            dir = runtime;
        } else {
            // The temporary folder is shared by every user: one lock per user.
            dir = QDir::tempPath();
            name = QStringLiteral("QN-VIEW-%1.lock").arg(::getuid());
        }
    }
    m_path = QDir(dir).filePath(name);
    const QByteArray native = QFile::encodeName(m_path);
    m_fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_acquired = true;
        return;
    }
    int rc;
    do {
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_acquired = true;
    } else {
        m_acquired = errno != EWOULDBLOCK;  // a file system without locks: run anyway
        ::close(m_fd);
        m_fd = -1;
    }
}

SingleInstanceLock::~SingleInstanceLock()
{
    // The file stays: removing it could let a third copy lock a new file while a
    // second one still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace qn
