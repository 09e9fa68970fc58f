#pragma once
// Shared by the page tests: a message presenter that answers without a modal loop, a
// simulated QN-210 on loopback, and waiting while the event loop runs.
#include "app/unitwindow.h"
#include "settings/unitsettings.h"
#include "pages/qn210page.h"
#include "sim/simulator.h"
#include "ui/messages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace qn::test {

class ScriptedPresenter final : public MessagePresenter {
public:
    void inform(QWidget *, const MessageText &text) override
    {
        messages << text.text();
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (onInform)
            onInform(text.text());
        --depth;
    }
    bool confirm(QWidget *, const MessageText &text) override
    {
        questions << text.text();
        return answer;
    }

    // With leaveUp set, a completion's message stays "up" until the test dismisses it.
    void informAsync(QWidget *parent, const MessageText &text, std::function<void()> dismissed) override
    {
        if (!leaveUp) {
            MessagePresenter::informAsync(parent, text, std::move(dismissed));
            return;
        }
        messages << text.text();
        up.push_back({parent, text.text(), std::move(dismissed)});
        if (onInform)
            onInform(text.text());
    }
    void closeAsync(QWidget *parent) override
    {
        for (std::size_t i = 0; i < up.size();) {
            if (up[i].parent == parent)
                dismiss(i);
            else
                ++i;
        }
    }
    // Dismisses the i-th message still up, as the operator's OK does.
    void dismiss(std::size_t i = 0)
    {
        ASSERT_LT(i, up.size());
        std::function<void()> dismissed = std::move(up[i].dismissed);
        up.erase(up.begin() + std::ptrdiff_t(i));
        if (dismissed)
            dismissed();
    }

    struct Up {
        QWidget *parent;
        QString text;
        std::function<void()> dismissed;
    };
    bool leaveUp = false;
    std::vector<Up> up;
    QStringList messages;
    QStringList questions;
    bool answer = true;
    int depth = 0;
    int maxDepth = 0;
    std::function<void(const QString &)> onInform; // runs while the message is "up"
};

// Runs events until pred holds; false after timeoutMs.
inline bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(2);
    }
    return true;
}

// The lines of a log file without their LF ends; empty when the file cannot be read.
inline QList<QByteArray> fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

inline int countOf(const std::vector<std::string> &names, const std::string &name)
{
    return int(std::count(names.begin(), names.end(), name));
}

// One simulated unit (a QN-210 unless the fixture says otherwise) and the window of a
// connect to it, with short time-outs.
template <typename Base>
class UnitWindowFixture : public Base {
protected:
    void SetUp() override
    {
        unitSettings().resetToDefaults();
        unitSettings().setPath(QString());
        setMessagePresenter(&presenter);
        sim::UnitConfig config;
        config.modelId = simulatedModelId;
        config.unitId = simulatedUnitId;
        config.bindIp = "127.0.0.1";
        config.discovery.enabled = false;
        unit = simulator.addUnit(config);
        std::string error;
        ASSERT_TRUE(simulator.start(&error)) << error;
        ASSERT_TRUE(logDir.isValid());
    }

    void TearDown() override
    {
        if (window) {
            window->disconnectUnit();
            waitUntil([this] { return window.isNull(); });
        }
        EXPECT_TRUE(window.isNull());
        setMessagePresenter(nullptr);
    }

    UnitWindowArgs windowArgs(bool logging = true, int rowsPerFile = -1) const
    {
        UnitWindowArgs args;
        args.model = model;
        args.ipAddress = QStringLiteral("127.0.0.1");
        args.tcpPort = simulator.tcpPort(unit);
        args.title = QStringLiteral("QN-210(ID:3) - 127.0.0.1");
        args.macText = QStringLiteral("MACアドレス: 00-80-92-00-00-01");
        args.unitId = 3;
        args.loggingEnabled = logging;
        args.logFolder = logDir.path();
        args.rowsPerFile = rowsPerFile;
        return args;
    }

    // Opens the window, waits for the start-up chain, and stops the page's ticking so the
    // test steps the ticks itself.
    void openWindow(bool logging = true, int rowsPerFile = -1)
    {
        window = new UnitWindow(windowArgs(logging, rowsPerFile), timeouts);
        window->show();
        page = qobject_cast<Qn210Page *>(window->page());
        ASSERT_NE(page, nullptr);
        page->stopTicking();
        page->setFollowingUnit(false); // this test counts the requests
        ASSERT_TRUE(waitUntil([this] { return page->completionsRun() >= 8; }));
        simulator.clearRequestLog(unit);
    }

    // Runs events until the page has run n more completions than when `since` was taken.
    bool settle(int since, int n)
    {
        return waitUntil([&] { return page->completionsRun() >= since + n; });
    }

    QString logFile() const { return logDir.path() + QStringLiteral("/QN-210_3_127.0.0.1.csv"); }

    // The unit the simulator plays (a fixture of another model sets these before SetUp).
    Model model = Model::QN210;
    int simulatedModelId = proto::kModelQN210;
    int simulatedUnitId = 3;
    ScriptedPresenter presenter;
    sim::Simulator simulator;
    int unit = 0;
    QTemporaryDir logDir;
    // Short enough for the fault tests, long enough for a loaded machine to answer.
    SessionTimeouts timeouts{800, 800, 800};
    QPointer<UnitWindow> window;
    Qn210Page *page = nullptr;
};
using UnitWindowTest = UnitWindowFixture<::testing::Test>;

} // namespace qn::test
