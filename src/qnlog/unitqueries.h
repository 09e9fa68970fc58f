#pragma once
// The requests the logging service sends a unit, one after the other on the unit's session:
// each goes out only when the one before it has answered, so a unit that has gone quiet costs
// one time-out per attempt, not one per request. The only place the service talks to the
// session. Completions run on the session's worker thread.
#include "link/unitsession.h"
#include "model/model.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qn::logsvc {

// What the service learns from a unit when it connects, and the outputs as last read.
struct UnitSetup {
    Model model = Model::QN210;
    int unitId = 0;
    std::array<int, 3> inputRanges{2, 2, 2}; // QN-210/220
    DigitalOutputs outputStates{0};          // QN-210/220
    std::array<AnalogOutput, 3> outputValues{}; // QN-110/120: each output's mode and code
};

// Who the unit says it is: its IDs, and the setup when its model is one this program logs.
struct UnitIdentification {
    UnitModelId ids{};
    std::optional<UnitSetup> setup;
};

// One reading's answers: the inputs of the unit's model, and the outputs when they were read
// with it.
struct ReadingAnswers {
    AnalogInputs analogInputs{};   // QN-210/220
    DigitalInputs digitalInputs{}; // QN-110/120
    std::optional<DigitalOutputs> outputStates;
    std::vector<AnalogOutput> outputValues;
};

class UnitQueries final {
public:
    explicit UnitQueries(SessionTimeouts timeouts);
    ~UnitQueries();

    // Blocks while the connection is tried (a time-out at most); the address is kept, so
    // a failed connect is tried again by the next request.
    int connect(const std::string &host, int port);
    // The model and ID, then what the model's readings need (the input ranges). Each
    // returns false when the session is stopping (done does not run then).
    bool identify(std::function<void(Result<UnitIdentification>)> done);
    // The inputs, and with withOutputs the outputs' states or values too.
    bool read(Model model, bool withOutputs, std::function<void(Result<ReadingAnswers>)> done);
    // An MQTT command's writes (servicecommands.cpp): one digital output switched with the
    // others kept (GetDO, then SetDO), or an analog output given the code `code` makes of its
    // present mode (GetAO, then SetAO).
    bool switchOutput(int channel, bool on, std::function<void(Result<DigitalOutputs>)> done);
    bool setAnalogOutput(int channel, std::function<int(int mode)> code, std::function<void(Result<AnalogOutput>)> done);

private:
    std::unique_ptr<UnitSession> m_session;
};

} // namespace qn::logsvc
