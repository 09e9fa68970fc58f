#pragma once
// qnlog against a real broker: a simulated QN-210 (ID 3 at 127.0.0.2) and QN-110 (ID 1 at
// 127.0.0.3), a mosquitto of the test's own, and qnlog started on a configuration naming both.
#include "brokertest.h"
#include "sim/simulator.h"

#include <filesystem>
#include <fstream>

namespace qn::test {

class QnlogWithBroker : public MqttBroker {
protected:
    void SetUp() override
    {
        qn::sim::UnitConfig config;
        config.modelId = qn::proto::kModelQN210;
        config.unitId = 3;
        config.bindIp = "127.0.0.2";
        config.discovery.enabled = false;
        m_inputs = m_simulator.addUnit(config);
        config.modelId = qn::proto::kModelQN110;
        config.unitId = 1;
        config.bindIp = "127.0.0.3";
        m_outputs = m_simulator.addUnit(config);
        std::string error;
        ASSERT_TRUE(m_simulator.start(&error)) << error;
        startBroker();
    }

    // qnlog reading both units every 100 ms; the QN-110 takes commands, the QN-210 when
    // inputsTakeCommands. mqttKeys: more lines of [mqtt] after its broker and client ID.
    std::unique_ptr<Child> startQnlog(bool inputsTakeCommands, const std::string &mqttKeys = {})
    {
        std::filesystem::create_directories(m_dir.path / "logs");
        const std::string path = (m_dir.path / "qnlog.conf").string();
        std::ofstream(path) << "[service]\nlog-folder = " << (m_dir.path / "logs").string() << "\nsettings-file = "
                            << (m_dir.path / "qnview.ini").string() << "\nlocale = C\n"
                            << "[unit]\naddress = 127.0.0.2:" << m_simulator.tcpPort(m_inputs) << "\nperiod = 1\n"
                            << (inputsTakeCommands ? "commands = yes\n" : "")
                            << "[unit]\naddress = 127.0.0.3:" << m_simulator.tcpPort(m_outputs) << "\nperiod = 1\ncommands = yes\n"
                            << "[mqtt]\nbroker = " << m_broker->uri() << "\nclient-id = qnlog-test\n" << mqttKeys;
        return std::make_unique<Child>(std::vector<std::string>{std::string(QN_BIN_DIR) + "/qnlog", "--config", path});
    }

    qn::sim::Simulator m_simulator;
    int m_inputs = 0;  // the QN-210
    int m_outputs = 0; // the QN-110
};

} // namespace qn::test
