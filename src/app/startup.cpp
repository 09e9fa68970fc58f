#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QTemporaryFile>

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
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty() || !QDir().mkpath(dir))
        dir = QDir::tempPath();
    m_path = QDir(dir).filePath(QStringLiteral("QN-VIEW.lock"));
    m_lock = std::make_unique<QLockFile>(m_path);
    // A running copy's lock never turns stale by age, however long it runs.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        m_acquired = true;
    else
        // No lock file can be made at all (a read-only folder, say): run anyway.
        m_acquired = m_lock->error() != QLockFile::LockFailedError;
}

// The lock file goes with the holder.
SingleInstanceLock::~SingleInstanceLock() = default;

} // namespace qn
