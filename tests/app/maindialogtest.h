#pragma once
// Shared by the main dialog's tests: the dialog driven headless against simulated units on
// 127.0.0.x; every search goes to the loopback broadcast address on a UDP port of the
// test's own.
#include "app/maindialog.h"
#include "app/unitwindow.h"
#include "settings/unitsettings.h"
#include "link/net.h"
#include "link/unitlist.h"
#include "sim/discoveryresponder.h"
#include "sim/simulator.h"
#include "ui/fonts.h"
#include "ui/messages.h"
#include "ui_maindialog.h"
#include "../support/faketcpunit.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace qn::test {

// Short waits keep the suite quick; the answer delays below stay well apart and well
// inside the wait after each answer, so a loaded machine neither reorders nor loses one.
inline constexpr DiscoveryTiming kFast{3000, 1200, 2000};
inline constexpr int kAnswerSpacingMs = 250;
inline constexpr int kJobWaitMs = 30000;

class RecordingPresenter final : public MessagePresenter {
public:
    void inform(QWidget *, const MessageText &text) override
    {
        messages << text.text();
        if (onInform)
            onInform(text.text());
    }
    bool confirm(QWidget *, const MessageText &text) override
    {
        messages << text.text();
        return answer;
    }
    QStringList messages;
    bool answer = true;  // to every question
    std::function<void(const QString &)> onInform; // runs while the message is up
};

// A free TCP port on the loopback addresses the units use.
inline uint16_t freeTcpPort()
{
    int err = 0;
    net::Socket s = net::Socket::tcp(err);
    s.bind(net::Address{*net::parseIpv4("127.0.0.11"), 0});
    return s.localAddress()->port;
}

// Answers every identification with a model ID the program does not know: unit 6, model 12.
inline FakeTcpUnit unknownModelUnit(const std::string &ip)
{
    return FakeTcpUnit({'m', 'i', 0x20 | (15 - 6), 0x20 | 12, 0xC8}, false, 0, 0, ip);
}

struct UnitOption {
    int modelId;
    int unitId;
    const char *ip;
    uint8_t macLast;
};

// The demo's four units, one of each model, answering the search in this order.
inline const UnitOption kUnits[] = {
    {kModelQN210, 3, "127.0.0.11", 0x11},
    {kModelQN220, 5, "127.0.0.12", 0x12},
    {kModelQN110, 1, "127.0.0.13", 0x13},
    {kModelQN120, 2, "127.0.0.14", 0x14},
};

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setMessagePresenter(&m_presenter);
        m_tcpPort = freeTcpPort();
        for (const UnitOption &u : kUnits) {
            sim::UnitConfig c;
            c.modelId = u.modelId;
            c.unitId = u.unitId;
            c.bindIp = u.ip;
            c.tcpPort = m_tcpPort;
            c.mac = {0x00, 0x80, 0x92, 0x00, 0x00, u.macLast};
            c.discovery.enabled = false;  // the responders below answer instead
            m_sim.addUnit(c);
        }
        std::string error;
        ASSERT_TRUE(m_sim.start(&error)) << error;
        int delay = 0;
        for (const UnitOption &u : kUnits) {
            sim::ResponderConfig r;
            r.unitIp = u.ip;
            r.udpPort = m_udpPort;
            r.tcpPort = m_tcpPort;
            r.mac = {0x00, 0x80, 0x92, 0x00, 0x00, u.macLast};
            r.searchDelayMs = delay;  // a fixed answer order
            delay += kAnswerSpacingMs;
            addResponder(r);
        }
    }
    void TearDown() override
    {
        m_dialog.reset();
        setMessagePresenter(nullptr);
    }

    sim::DiscoveryResponder &addResponder(sim::ResponderConfig r)
    {
        r.udpPort = m_udpPort;
        auto responder = std::make_unique<sim::DiscoveryResponder>(r);
        std::string error;
        EXPECT_TRUE(responder->start(&error)) << error;
        m_udpPort = responder->udpPort();
        m_responders.push_back(std::move(responder));
        return *m_responders.back();
    }

    MainDialogConfig config() const
    {
        MainDialogConfig c;
        c.programFolder = QStringLiteral("/opt/qnview");
        c.versionText = QStringLiteral("Version 1.13");
        c.searchTargets = {"127.255.255.255"};
        c.discoveryPort = m_udpPort;
        c.searchTiming = kFast;
        c.addTiming = kFast;
        c.optionsPath = m_optionsPath;
        return c;
    }
    QString m_optionsPath;  // remembered options: none unless a test asks

    MainDialog &dialog()
    {
        if (!m_dialog) {
            m_dialog = std::make_unique<MainDialog>(config(), [this](const UnitWindowArgs &a) { m_opened.push_back(a); });
            m_dialog->show();
        }
        return *m_dialog;
    }
    template <typename T> T *child(const char *name) { return dialog().findChild<T *>(QString::fromLatin1(name)); }

    QStringList lines()
    {
        QStringList out;
        auto *list = child<QListWidget>("unitList");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    static QString line(const char *mac, const char *model, const char *id, const char *ip)
    {
        return QString::fromUtf8(mac) + QLatin1Char(' ') + QString::fromLatin1(model).leftJustified(9) + QLatin1Char(' ')
            + QString::fromLatin1(id) + QLatin1Char(' ') + QString::fromLatin1(ip);
    }
    // Clicks and waits until the job it started has finished on the GUI thread.
    bool clickAndWait(const char *button)
    {
        QSignalSpy finished(&dialog(), &MainDialog::jobFinished);
        child<QPushButton>(button)->click();
        return finished.count() > 0 || finished.wait(kJobWaitMs);
    }
    bool search(const QString &port)
    {
        child<QLineEdit>("portEdit")->setText(port);
        return clickAndWait("searchButton");
    }
    bool connectRow(int row)
    {
        child<QListWidget>("unitList")->setCurrentRow(row);
        return clickAndWait("connectButton");
    }

    RecordingPresenter m_presenter;
    sim::Simulator m_sim;
    std::vector<std::unique_ptr<sim::DiscoveryResponder>> m_responders;
    uint16_t m_tcpPort = 0;
    uint16_t m_udpPort = 0;
    std::unique_ptr<MainDialog> m_dialog;
    std::vector<UnitWindowArgs> m_opened;
};

} // namespace qn::test
