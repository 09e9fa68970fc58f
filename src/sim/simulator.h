#pragma once
// In-process simulator of QNNET units for tests, benchmarks and qnsim. Each unit
// listens on its own loopback address and TCP port and answers every command of
// the control protocol from the state it keeps; readings move like real signals
// unless a test pins them. Faults can be injected per unit.
//
// Threads: every public function may be called from any thread. Units run on
// threads of their own (one accept thread per unit, one thread per connection).

#include "link/protocol.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qn::sim {

// How a unit answers the UDP discovery queries (served by the discovery responder).
struct DiscoveryBehaviour {
    bool enabled = true;       // answer on UDP port 30718 at all
    bool answerSearch = true;
    bool answerDetail1 = true;
    bool answerDetail2 = true;
    int replyDelayMs = 0;
    // UDP port of the queries; 0 picks a free one, which later units of the
    // same simulator asking for 0 share (see Simulator::udpPort). In-process
    // simulators keep off the real port 30718 unless asked, so tests running
    // side by side do not answer each other's searches; qnsim asks for it.
    uint16_t udpPort = 0;
    // Broadcast addresses heard besides the own one; unset: 127.255.255.255 for
    // a unit on loopback.
    std::optional<std::vector<std::string>> broadcastAddresses;
    // Subnets ("10.213.0.0/24") whose senders are answered besides loopback.
    std::vector<std::string> allowFrom;
};

struct UnitConfig {
    int modelId = proto::kModelQN210; // 8 QN-210, 9 QN-110, 10 QN-220, 11 QN-120
    int unitId = 0;                   // 0..15
    std::array<uint8_t, 6> mac{0x00, 0x80, 0x92, 0x00, 0x00, 0x01};
    std::string bindIp = "127.0.0.1"; // loopback unless the caller allows otherwise
    uint16_t tcpPort = 0;             // 0: pick a free one (see Simulator::tcpPort)
    DiscoveryBehaviour discovery;
};

// What a unit keeps. Values are as they travel on the wire (codes, not volts).
struct UnitState {
    struct Threshold {
        int outside = 0;    // LED lights outside low..high
        int mode = 0;       // two bits, kept as written
        int low = 0x0000;   // upper 16 bits of a 24-bit code
        int high = 0x7FFF;
    };
    struct DoAlert {
        int enabled = 0;
        int monitoredAi = 0; // 0..2
        int hysteresis = 0;  // 16-bit code
        int direction = 0;   // 0: on above high, 1: on below low
    };
    int doPattern = 0;                    // bit 0 DO1, bit 1 DO2
    std::array<int, 3> aoMode{};          // 0 voltage, 1 current
    std::array<int, 3> aoRaw{};           // 16-bit output codes
    std::array<int, 3> aiRange{2, 2, 2};  // range codes 0..7
    int adcSps = 3;                       // rate code 0..7
    std::array<Threshold, 3> thresholds{};
    std::array<int, 3> tcType{};          // 0..7 (K J T E N R S B)
    std::array<int, 3> tcOptions{};       // three option bits
    std::array<DoAlert, 2> doAlerts{};
    // Pinned readings: when set, the input reads exactly this instead of moving.
    std::array<std::optional<int>, 3> pinnedAi; // signed 24-bit codes
    std::optional<int> pinnedDi;                // DI bits
};

enum class FaultKind {
    None,
    ReplyLate,      // answer after delayMs
    NoReply,        // read the request, never answer
    PartialReply,   // send only the first `bytes` bytes of the reply
    SplitReply,     // send the reply one byte at a time, delayMs apart
    Garbage,        // answer with the right length of bytes that are not the reply
    DropConnection, // close the connection on receiving a request
};

struct Fault {
    FaultKind kind = FaultKind::None;
    int delayMs = 0;
    int bytes = 0;
    // How many requests it applies to; -1 for all until cleared.
    int count = -1;
    // Requests answered normally before it applies (to fail one step of a sequence).
    int skip = 0;
};

// One received request in arrival order.
struct LoggedRequest {
    std::optional<proto::Op> op;  // nullopt for a request the unit did not understand
    std::vector<uint8_t> bytes;   // the whole request, command letters to terminator
    int receives = 1;             // receive calls its bytes took (1: it came in one piece)
    std::vector<uint8_t> params() const; // bytes between the letters and the terminator
    std::string name() const;            // operation name, or "?" plus the letters
};

class Simulator final {
public:
    Simulator();
    ~Simulator(); // stops
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Before start(). Returns the unit's index.
    int addUnit(const UnitConfig &config);
    // Binds every unit. Refuses bind addresses outside 127.0.0.0/8 unless
    // allowExternal. false with a message naming the unit and the reason on failure.
    bool start(std::string *error = nullptr, bool allowExternal = false);
    void stop();
    bool running() const;

    int unitCount() const;
    UnitConfig config(int unit) const;
    uint16_t tcpPort(int unit) const; // the port bound (after start)
    uint16_t udpPort(int unit) const; // the discovery port bound (after start); 0 when disabled

    // A copy of the unit's state; and a change made under the unit's lock.
    UnitState state(int unit) const;
    void updateState(int unit, const std::function<void(UnitState &)> &change);
    void pinAI(int unit, int channel, int code);
    void pinDI(int unit, int bits);
    void unpinAll(int unit);

    void setFault(int unit, const Fault &fault);
    void clearFault(int unit);
    // Offline: existing connections are dropped and new ones refused, as if the
    // unit were switched off; online again it listens on the same port.
    void setOnline(int unit, bool online);
    bool online(int unit) const;

    // Before start(): called with the unit's index for every request a unit takes in
    // (logged, fault or not, before any answer; not while switched off), on the
    // connection's thread. For a trace of what the units hear.
    void setRequestObserver(std::function<void(int unit, const LoggedRequest &request)> observer);

    std::vector<LoggedRequest> requestLog(int unit) const;
    // Operation names of the log, e.g. {"GetDO", "GetADCsps", ...}.
    std::vector<std::string> requestNames(int unit) const;
    void clearRequestLog(int unit);
    // Waits until the log holds at least n requests; false after timeoutMs.
    bool waitForRequests(int unit, std::size_t n, int timeoutMs) const;
    // Waits until the unit's connections have received at least n bytes in all (a request
    // sent in pieces: the first piece has arrived); false after timeoutMs.
    bool waitForBytes(int unit, std::size_t n, int timeoutMs) const;
    // Waits until the unit has dealt with at least n requests: answered, or (not understood,
    // a fault, switched off) left unanswered on purpose; false after timeoutMs.
    bool waitForAnswers(int unit, std::size_t n, int timeoutMs) const;
    // Connections accepted so far (reconnects show here).
    int connectionCount(int unit) const;

    // The unit's answer to a request at this moment (used by the TCP side and by
    // tests of the unit's behaviour). Empty when the request is not understood.
    std::vector<uint8_t> answer(int unit, const uint8_t *request, std::size_t size);

    struct Unit; // internal
private:
    std::vector<std::unique_ptr<Unit>> m_units;
    std::function<void(int, const LoggedRequest &)> m_requestObserver;
    bool m_running = false;
};

// "QN-210:3:127.0.0.11:10001[:00-80-92-00-00-03]" into a config. nullopt and a
// message on a malformed text.
std::optional<UnitConfig> parseUnitOption(const std::string &text, std::string *error);

// The fields of an option value such as "0:late:200": every piece between
// separators, empty ones included ("a::b" gives three).
std::vector<std::string> splitFields(const std::string &text, char separator = ':');

} // namespace qn::sim
