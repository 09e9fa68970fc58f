#pragma once
// What a unit session's completion receives: the operation's values in a struct named for
// what they are, or the error that kept them from coming. A completion never has to guess
// success from a value, so any value the unit can send (an output code of -1, a reading of
// -1) is just a value.
// Everything here is plain data and may be used on any thread.

#include "link/linkerror.h"
#include "link/protocol.h"

#include <array>
#include <cassert>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>

namespace qn {

// Why a request brought no values: the kind (the same on every platform) and, where the
// system gave one, its own error number (errno, or Winsock's code on Windows; 3 for a session
// without a host; 0 for a reply not of the reply's form), which is only ever shown.
struct LinkError {
    using Kind = LinkErrorKind;
    Kind kind = Kind::ConnectionLost;
    int code = 0;
    static constexpr int kNoHost = 3; // the number of an empty host text (Unreachable)

    static LinkError fromSocketError(int code);
    static LinkError malformed() { return {Kind::Malformed, 0}; }
    // "time-out (110)"; "malformed reply" without a number
    std::string text() const;
    friend bool operator==(const LinkError &, const LinkError &) = default;
};

// One operation's values or its error. Small enough to pass by value.
template <typename T>
class Result final {
public:
    using Value = T;
    Result(T value) : m_outcome(std::in_place_index<0>, std::move(value)) {}
    Result(LinkError error) : m_outcome(std::in_place_index<1>, error) {}

    bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T &value() const
    {
        assert(ok());
        return *std::get_if<0>(&m_outcome);
    }
    const T &operator*() const { return value(); }
    const T *operator->() const { return &value(); }
    const LinkError &error() const
    {
        assert(!ok());
        return *std::get_if<1>(&m_outcome);
    }

private:
    std::variant<T, LinkError> m_outcome;
};

// The values of the operations, each listing them in the order qnctl prints them.
struct DigitalInputs { // GetDI: the input bits and the request's tag
    int bits;
    int tag;
    auto values() const { return std::array{bits, tag}; }
};
struct DigitalOutputs { // SetDO, GetDO: one bit per output
    int pattern;
    auto values() const { return std::array{pattern}; }
};
struct AnalogInput { // GetAI: one channel's code
    int channel;
    int code;
    auto values() const { return std::array{channel, code}; }
};
struct AnalogInputs { // GetAllAI: the three channels' codes
    int code1;
    int code2;
    int code3;
    auto values() const { return std::array{code1, code2, code3}; }
};
struct AnalogOutput { // SetAO, GetAO: an output's mode (0 voltage, 1 current) and raw code
    int channel;
    int mode;
    int raw;
    auto values() const { return std::array{channel, mode, raw}; }
};
struct InputRange { // GetAIRange, SetAIRange
    int channel;
    int range;
    auto values() const { return std::array{channel, range}; }
};
struct AdcRate { // GetADCsps, SetADCsps: the rate code
    int code;
    auto values() const { return std::array{code}; }
};
struct Threshold { // GetADCThreshold, SetADCThreshold: an LED threshold's settings
    int channel;
    int outside; // 1: lit outside low..high
    int mode;
    int low;
    int high;
    auto values() const { return std::array{channel, outside, mode, low, high}; }
};
struct UnitModelId { // GetUnitModelID
    int unitId;
    int modelId;
    auto values() const { return std::array{unitId, modelId}; }
};
struct ThermocoupleSetting { // SetTCSetting, GetTCSetting
    int channel;
    int type;
    int options;
    auto values() const { return std::array{channel, type, options}; }
};
struct DOAlertState { // GetDOAlert: a DO alert's settings and whether it is on
    int channel;
    int enabled;
    int monitoredInput;
    int hysteresis;
    int direction;
    auto values() const { return std::array{channel, enabled, monitoredInput, hysteresis, direction}; }
};
struct DOAlertSetting { // SetDOAlert
    int channel;
    int monitoredInput;
    int hysteresis;
    int direction;
    auto values() const { return std::array{channel, monitoredInput, hysteresis, direction}; }
};
struct DOAlertSwitch { // SetDOAlertEnable
    int channel;
    int on;
    auto values() const { return std::array{channel, on}; }
};

// Which struct each operation's completion receives.
template <proto::Op>
struct ReplyOf;
#define QN_REPLY_OF(op, T)                                                                                             \
    template <>                                                                                                        \
    struct ReplyOf<proto::Op::op> {                                                                                    \
        using type = T;                                                                                                \
    }
QN_REPLY_OF(GetDI, DigitalInputs);
QN_REPLY_OF(SetDO, DigitalOutputs);
QN_REPLY_OF(GetDO, DigitalOutputs);
QN_REPLY_OF(GetAI, AnalogInput);
QN_REPLY_OF(GetAllAI, AnalogInputs);
QN_REPLY_OF(SetAO, AnalogOutput);
QN_REPLY_OF(GetAO, AnalogOutput);
QN_REPLY_OF(GetAIRange, InputRange);
QN_REPLY_OF(GetADCsps, AdcRate);
QN_REPLY_OF(SetAIRange, InputRange);
QN_REPLY_OF(SetADCsps, AdcRate);
QN_REPLY_OF(GetADCThreshold, Threshold);
QN_REPLY_OF(SetADCThreshold, Threshold);
QN_REPLY_OF(GetUnitModelID, UnitModelId);
QN_REPLY_OF(SetTCSetting, ThermocoupleSetting);
QN_REPLY_OF(GetTCSetting, ThermocoupleSetting);
QN_REPLY_OF(GetDOAlert, DOAlertState);
QN_REPLY_OF(SetDOAlert, DOAlertSetting);
QN_REPLY_OF(SetDOAlertEnable, DOAlertSwitch);
#undef QN_REPLY_OF
template <proto::Op op>
using ReplyOf_t = typename ReplyOf<op>::type;

// Any operation's values, for tools that post operations by name (qnctl, benchmarks).
using AnyReply = std::variant<DigitalInputs, DigitalOutputs, AnalogInput, AnalogInputs, AnalogOutput, InputRange,
                              AdcRate, Threshold, UnitModelId, ThermocoupleSetting, DOAlertState, DOAlertSetting,
                              DOAlertSwitch>;

template <typename T>
inline constexpr int valueCount = int(std::tuple_size_v<decltype(std::declval<const T &>().values())>);

// The struct from the codec's values, which come in the struct's order.
template <typename T>
T replyFromValues(const proto::Results &r)
{
    return [&]<std::size_t... I>(std::index_sequence<I...>) { return T{r[I]...}; }(
        std::make_index_sequence<std::size_t(valueCount<T>)>());
}
AnyReply anyReplyFromValues(proto::Op op, const proto::Results &values);

// The codec's typed form: op's reply struct from a reply of info(op).replyLength bytes, or a
// malformed-reply error when the reply is not of op's form (proto::replyWellFormed).
template <proto::Op op>
Result<ReplyOf_t<op>> decodeReply(const proto::Args &args, const uint8_t *reply)
{
    if (const std::optional<proto::Results> values = proto::decodeReply(op, args, reply))
        return replyFromValues<ReplyOf_t<op>>(*values);
    return LinkError::malformed();
}
Result<AnyReply> decodeAnyReply(proto::Op op, const proto::Args &args, const uint8_t *reply);
// The values of any reply, in order, and how many there are.
std::pair<proto::Results, int> valuesOf(const AnyReply &reply);

// Held by whoever owns a completion's handler (a page): a completion that took a Watch
// checks it before it calls the handler, so an owner that is gone never sees its completion
// run. The owner ends it first thing in its destructor. A Watch may be copied and destroyed
// on any thread; alive() means something only on the owner's thread.
class Lifetime final {
public:
    Lifetime() = default;
    Lifetime(const Lifetime &) = delete;
    Lifetime &operator=(const Lifetime &) = delete;

    class Watch final {
    public:
        bool alive() const { return !m_token.expired(); }

    private:
        friend class Lifetime;
        explicit Watch(std::weak_ptr<const char> token) : m_token(std::move(token)) {}
        std::weak_ptr<const char> m_token;
    };
    Watch watch() const { return Watch(m_token); }
    void end() { m_token.reset(); }

private:
    std::shared_ptr<const char> m_token = std::make_shared<const char>('\0');
};

} // namespace qn
