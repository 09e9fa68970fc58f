// The log folder chooser never opens what it lists, so a folder holding something whose
// read blocks (a FIFO, /proc/kmsg) cannot stop the program.
#include "ui/folderchooser.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace qn {
namespace {

// Runs fn on a thread of its own: false when it has not returned within ms (it is left
// blocked, which is the fault these tests look for).
bool returnsWithin(int ms, std::function<void()> fn)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([fn = std::move(fn), done] {
        fn();
        done->set_value();
    }).detach();
    return finished.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
}

// A GUI thread blocked for good cannot fail a test by itself: this ends the run with a
// message instead of leaving it to the test's time-out.
class Watchdog final {
public:
    explicit Watchdog(int seconds)
        : m_thread([this, seconds] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_released; })) {
                  std::fprintf(stderr, "the folder chooser blocked the GUI thread for %d s\n", seconds);
                  std::_Exit(1);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_released = false;
    std::thread m_thread;
};

class FolderChooserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fifo = dir.filePath(QStringLiteral("pipe"));
#ifndef _WIN32
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
#endif
    }

    QTemporaryDir dir;
    QString fifo;
};

TEST_F(FolderChooserTest, NamesEntriesWithoutOpeningThem)
{
    // Content that a MIME lookup would recognise, under a name that says nothing.
    QFile pdf(dir.filePath(QStringLiteral("report")));
    ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
    pdf.write("%PDF-1.4\n");
    pdf.close();
    const QString fileType = QCoreApplication::translate("QAbstractFileIconProvider", "File");

    struct Entry {
        QString path;
        QString type; // empty: any
    };
    const Entry entries[] = {{fifo, {}}, {pdf.fileName(), fileType}, {QStringLiteral("/proc/kmsg"), fileType},
                             {dir.path(), {}}};
    for (const Entry &entry : entries) {
        if (!QFileInfo::exists(entry.path))
            continue;
        auto type = std::make_shared<QString>();
        EXPECT_TRUE(returnsWithin(3000, [path = entry.path, type] {
            const FileKindIconProvider provider;
            const QFileInfo info(path);
            *type = provider.type(info);
            (void)provider.icon(info);
        })) << entry.path.toStdString();
        if (!entry.type.isEmpty())
            EXPECT_EQ(type->toStdString(), entry.type.toStdString()) << entry.path.toStdString();
    }
}

TEST_F(FolderChooserTest, StaysResponsiveAndClosesOnBlockingFolders)
{
#ifdef _WIN32
    // No /proc; a folder with a Japanese name instead.
    const QString japanese = dir.filePath(QStringLiteral("ログ 温度"));
    ASSERT_TRUE(QDir().mkpath(japanese));
    for (const QString &start : {dir.path(), japanese}) {
#else
    for (const QString &start : {dir.path(), QStringLiteral("/proc")}) {
#endif
        // The chooser runs its own modal loop; a timer answers it once its listing has
        // had time to load, and measures how long the GUI thread goes without events.
        QElapsedTimer sinceTick;
        sinceTick.start();
        qint64 longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
        });
        ticker.start(20);
        QElapsedTimer shown;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (!shown.isValid())
                shown.start();
            else if (shown.hasExpired(1500))
                QMetaObject::invokeMethod(dialog, "accept"); // as its Choose button does
        });
        answer.start(50);

        Watchdog watchdog(30);
        const QString chosen = chooseFolder(nullptr, QStringLiteral("ログフォルダを選択してください"), start);
        EXPECT_EQ(chosen, start);
        EXPECT_LT(longestGap, 3000) << start.toStdString();
    }
}

} // namespace
} // namespace qn
