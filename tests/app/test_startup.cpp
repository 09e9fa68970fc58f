// Start-up: the paths and version text worked out before the main dialog opens, and
// the single-instance rule, in process and with the real program.
#include "app/startup.h"
#include "ui/language.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#include <sys/stat.h>
#endif

namespace qn {
namespace {

TEST(Startup, VersionTextFromTheFourPartVersion)
{
    struct Case {
        int major, minor, build, revision;
        const char *text;
    };
    const Case cases[] = {
        {1, 1, 3, 0, "Version 1.13"},
        {2, 0, 1, 5, "Version 2.015"},
        {0, 0, 0, 0, "Version 0.00"},
        {1, 12, 0, 0, "Version 1.120"},
        {3, 2, 1, 10, "Version 3.2110"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(versionText(c.major, c.minor, c.build, c.revision), QString::fromLatin1(c.text));
    // This build's version is 1.1.3.0.
    EXPECT_EQ(programVersionText(), QStringLiteral("Version 1.13"));
}

TEST(Startup, SettingsFileSitsBesideTheProgramWithTheIniExtension)
{
    struct Case {
        const char *executable;
        const char *settings;
    };
    const Case cases[] = {
        {"/opt/qn/qnview", "/opt/qn/qnview.ini"},
        {"/opt/qn/QNVIEW.exe", "/opt/qn/QNVIEW.ini"},
        {"/opt/qn.d/qnview", "/opt/qn.d/qnview.ini"},
        {"/opt/qn/qnview.tar.bin", "/opt/qn/qnview.tar.ini"},
        {"/opt/qn/.qnview", "/opt/qn/.qnview.ini"},
        {"qnview", "qnview.ini"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(settingsPathFor(QString::fromLatin1(c.executable)), QString::fromLatin1(c.settings));
    EXPECT_EQ(programFolder(QStringLiteral("/opt/qn/qnview")), QStringLiteral("/opt/qn"));
}

TEST(Startup, SettingsFileBesideAWritableOrPortableProgramElseInTheConfigFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString exe = dir.filePath(QStringLiteral("qnview"));
    const QString beside = dir.filePath(QStringLiteral("qnview.ini"));
    const QString config = QStringLiteral("/home/op/.config/QN-VIEW");
    EXPECT_EQ(settingsLocation(exe, config, true), beside);
    EXPECT_EQ(settingsLocation(exe, config, false), config + QStringLiteral("/qnview.ini"));
    // An existing file beside the program keeps being used, even where no new file could be made.
    QFile existing(beside);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    EXPECT_EQ(settingsLocation(exe, config, false), beside);

    EXPECT_EQ(defaultLogFolder(QStringLiteral("/opt/qn"), QStringLiteral("/home/op/Documents"), true),
              QStringLiteral("/opt/qn"));
    EXPECT_EQ(defaultLogFolder(QStringLiteral("/usr/bin"), QStringLiteral("/home/op/Documents"), false),
              QStringLiteral("/home/op/Documents/QN-VIEW"));

    EXPECT_TRUE(canCreateFilesIn(dir.path()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // the probe is gone
    // No file can be made there, whoever we are.
    EXPECT_FALSE(canCreateFilesIn(QStringLiteral("/proc")));
    EXPECT_FALSE(canCreateFilesIn(dir.filePath(QStringLiteral("missing"))));
}

TEST(Startup, ProgramIconHasTheUsualSizes)
{
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 48})
        EXPECT_EQ(icon.pixmap(size, size).width(), size);
}

TEST(SingleInstance, OneHolderAtATimeAndReleasedWithTheHolder)
{
    QTemporaryDir dir;
    {
        const SingleInstanceLock first(dir.path());
        EXPECT_TRUE(first.acquired());
        EXPECT_TRUE(first.lockFilePath().startsWith(dir.path()));
        const SingleInstanceLock second(dir.path());
        EXPECT_FALSE(second.acquired());
    }
    const SingleInstanceLock third(dir.path());
    EXPECT_TRUE(third.acquired());
}

// The real program, with its lock in a folder of the test's own.
class ProgramInstances : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    void TearDown() override
    {
        for (QProcess *p : m_processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(10000);
            }
            delete p;
        }
    }
    QProcess *start()
    {
        auto *p = new QProcess;
        m_processes.push_back(p);
        p->setProcessEnvironment(m_env);
        p->setProgram(QStringLiteral(QN_VIEW_EXE));
        // Never searches: the dialog only waits for the operator.
        p->setArguments({QStringLiteral("--search-address"), QStringLiteral("127.255.255.255")});
        p->start();
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    // Where the program keeps its lock: a folder of the test's own, or on Windows the
    // user's folder (Qt asks the system for it; no variable moves it).
    QString lockFolder() const
    {
#ifdef _WIN32
        return QDir::homePath();
#else
        return m_dir.path();
#endif
    }
    // Waits until some process holds the lock in the test's folder. Looks at the
    // kernel's lock table rather than trying the lock, which would itself hold it
    // for a moment and could turn a starting copy away.
    bool lockHeld()
    {
#ifdef _WIN32
        // A held lock file is open without sharing writes: opening it for writing
        // fails with a sharing violation, and takes no lock.
        const std::wstring lockFile = QDir::toNativeSeparators(QDir(lockFolder()).filePath(QStringLiteral("QN-VIEW.lock"))).toStdWString();
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
            else if (GetLastError() == ERROR_SHARING_VIOLATION)
                return true;
            QThread::msleep(50);
        }
        return false;
#else
        const QByteArray lockFile = QFile::encodeName(m_dir.filePath(QStringLiteral("QN-VIEW.lock")));
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            struct stat st {};
            if (::stat(lockFile.constData(), &st) == 0) {
                QFile locks(QStringLiteral("/proc/locks"));
                if (locks.open(QIODevice::ReadOnly)) {
                    const QByteArray inode = ":" + QByteArray::number(qulonglong(st.st_ino)) + " ";
                    for (const QByteArray &line : locks.readAll().split('\n')) {
                        if (line.contains("FLOCK") && line.contains(inode))
                            return true;
                    }
                }
            }
            QThread::msleep(50);
        }
        return false;
#endif
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::vector<QProcess *> m_processes;
};

// The second start ends with 0 only once the first has answered that its window is in front.
TEST_F(ProgramInstances, SecondStartBringsTheRunningCopyForwardAndEnds)
{
    QProcess *first = start();
    ASSERT_TRUE(lockHeld());
    QProcess *second = start();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().constData();
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty());
    EXPECT_EQ(first->state(), QProcess::Running);
}

// A lock held by something that does not answer (here the test): the start ends and says so.
TEST_F(ProgramInstances, SecondStartThatGetsNoAnswerSaysSoAndEnds)
{
    const SingleInstanceLock held(lockFolder());
    ASSERT_TRUE(held.acquired());
    QProcess *second = start();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 1);
    EXPECT_FALSE(second->readAllStandardError().isEmpty());
}

// Qt's own texts (standard buttons, the folder chooser) follow the program's language.
TEST(Startup, QtsOwnTextsFollowTheLanguage)
{
    setLanguage(Language::Japanese);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    setLanguage(Language::English);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    setLanguage(Language::Japanese);
}

TEST_F(ProgramInstances, ACrashedCopyLeavesNoLockBehind)
{
    QProcess *crashed = start();
    ASSERT_TRUE(lockHeld());
#ifdef _WIN32
    crashed->kill(); // TerminateProcess: no chance to clean up
#else
    ::kill(pid_t(crashed->processId()), SIGKILL);
#endif
    ASSERT_TRUE(crashed->waitForFinished(30000));

    // The next start runs and holds the lock: a copy after it ends at once.
    QProcess *next = start();
    ASSERT_TRUE(lockHeld());
    QProcess *third = start();
    ASSERT_TRUE(third->waitForFinished(30000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_EQ(next->state(), QProcess::Running);
}

} // namespace
} // namespace qn
