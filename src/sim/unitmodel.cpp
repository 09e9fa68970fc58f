#include "sim/unitmodel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qn::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFullCode = 8388607;
constexpr int kThermoRange = 6;

uint8_t small(int v) { return uint8_t(0x20 + v); }
int smallValue(uint8_t b) { return b - 0x20; }

void putHex(std::vector<uint8_t> &out, unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    const std::size_t len = std::strlen(text);
    out.insert(out.end(), text + len - std::size_t(digits), text + len);
}

std::vector<uint8_t> start(const uint8_t *request)
{
    return {uint8_t(request[0] + 0x20), uint8_t(request[1] + 0x20)};
}

void finish(std::vector<uint8_t> &out, std::size_t length)
{
    out.resize(length - 1, 0x20);
    out.push_back(proto::kTerminator);
}

// Echo of a write request, letters in lower case, padded to the reply length.
std::vector<uint8_t> echo(const uint8_t *request, std::size_t size, std::size_t length)
{
    std::vector<uint8_t> out = start(request);
    for (std::size_t i = 2; i + 1 < size && out.size() + 1 < length; ++i)
        out.push_back(request[i]);
    finish(out, length);
    return out;
}

int16_t asSigned16(int code) { return int16_t(uint16_t(code & 0xFFFF)); }

} // namespace

// Outputs start at code 0: 0 V, which the pages show as switched off. (The codes are
// two's complement: 0x8000 would be -10 V.)
UnitModel::UnitModel(const UnitConfig &config, uint32_t seed) : m_config(config), m_random(seed) {}

int UnitModel::diCount() const { return m_config.modelId == proto::kModelQN110 ? 3 : m_config.modelId == proto::kModelQN120 ? 2 : 0; }
int UnitModel::aoCount() const { return m_config.modelId == proto::kModelQN110 ? 2 : m_config.modelId == proto::kModelQN120 ? 3 : 0; }
bool UnitModel::hasAnalogInputs() const
{
    return m_config.modelId == proto::kModelQN210 || m_config.modelId == proto::kModelQN220;
}

int UnitModel::aiCode(int channel, double t)
{
    if (channel < 0 || channel > 2)
        return 0;
    if (m_state.pinnedAi[channel])
        return *m_state.pinnedAi[channel];
    std::normal_distribution<double> noise(0.0, 1.0);
    const int range = m_state.aiRange[channel];
    if (range == kThermoRange && m_config.modelId == proto::kModelQN220) {
        // Room temperature drifting slowly, with a little measurement noise.
        const double celsius = 24.0 + 1.5 * std::sin(2 * kPi * t / 90.0 + channel) + 0.03 * noise(m_random);
        return int(std::lround(celsius * 2560.0));
    }
    // Each channel its own slow wave, like a plant signal on a one-minute graph:
    // about a minute or two per cycle, a small swell on top, and a little noise so
    // that every reading differs from the last. Current ranges stay positive
    // (4..20 mA-like).
    const double periods[3] = {60.0, 90.0, 120.0};
    const double wave = std::sin(2 * kPi * t / periods[channel] + channel * 1.3);
    const double swell = std::sin(2 * kPi * t / (13.0 + 4.0 * channel) + channel);
    double fraction;
    if (range == 4 || range == 5)
        fraction = 0.6 + 0.3 * wave + 0.03 * swell;
    else
        fraction = 0.5 * wave + 0.04 * swell;
    fraction += 0.002 * noise(m_random);
    return std::clamp(int(std::lround(fraction * kFullCode)), -kFullCode - 1, kFullCode);
}

int UnitModel::diBits(double t) const
{
    if (m_state.pinnedDi)
        return *m_state.pinnedDi;
    // Contacts that open and close now and then, each at its own pace.
    const double periods[3] = {2.7, 4.1, 6.3};
    int bits = 0;
    for (int i = 0; i < 3; ++i) {
        const double phase = std::fmod(t / periods[i] + 0.37 * i, 1.0);
        if (phase < 0.45)
            bits |= 1 << i;
    }
    return bits & ((1 << diCount()) - 1);
}

void UnitModel::updateAlerts(double t)
{
    if (m_config.modelId != proto::kModelQN220)
        return;
    for (int ch = 0; ch < 2; ++ch) {
        const UnitState::DoAlert &a = m_state.doAlerts[ch];
        if (!a.enabled) {
            m_alertOn[ch] = false;
            continue;
        }
        const int m = std::clamp(a.monitoredAi, 0, 2);
        const int level = asSigned16(aiCode(m, t) >> 8);
        const UnitState::Threshold &th = m_state.thresholds[m];
        const int high = asSigned16(th.high);
        const int low = asSigned16(th.low);
        if (a.direction == 0) {
            if (level > high)
                m_alertOn[ch] = true;
            else if (level < high - a.hysteresis)
                m_alertOn[ch] = false;
        } else {
            if (level < low)
                m_alertOn[ch] = true;
            else if (level > low + a.hysteresis)
                m_alertOn[ch] = false;
        }
    }
}

int UnitModel::doOutputs(double t)
{
    updateAlerts(t);
    int bits = m_state.doPattern & 0x03;
    for (int ch = 0; ch < 2; ++ch) {
        if (m_config.modelId == proto::kModelQN220 && m_state.doAlerts[ch].enabled)
            bits = m_alertOn[ch] ? bits | (1 << ch) : bits & ~(1 << ch);
    }
    return bits;
}

std::vector<uint8_t> UnitModel::answer(const uint8_t *req, std::size_t size, double t)
{
    const std::optional<proto::Op> op = proto::opFromRequest(req, size);
    if (!op)
        return {};
    const proto::OpInfo &in = proto::info(*op);
    if (size < in.requestLength)
        return {};
    const std::size_t len = in.replyLength;
    auto channel = [&](int limit) { return std::clamp(smallValue(req[2]) & 0x07, 0, limit - 1); };
    std::vector<uint8_t> out = start(req);
    switch (*op) {
    case proto::Op::GetDI: {
        const int bits = diBits(t);
        out.push_back(small(bits & 0x0F));
        out.push_back(small((bits >> 8) & 0x0F));
        break;
    }
    case proto::Op::SetDO:
        m_state.doPattern = ((req[2] & 0x0F) | ((req[3] & 0x0F) << 4)) & 0x03;
        return echo(req, size, len);
    case proto::Op::GetDO: {
        const int bits = doOutputs(t);
        out.push_back(small(bits & 0x0F));
        out.push_back(small((bits >> 8) & 0x0F));
        break;
    }
    case proto::Op::GetAI: {
        const int ch = channel(3);
        out.push_back(req[2]);
        putHex(out, unsigned(aiCode(ch, t)) & 0xFFFFFF, 6);
        break;
    }
    case proto::Op::GetAllAI:
        out.push_back(req[2]);
        for (int ch = 0; ch < 3; ++ch)
            putHex(out, unsigned(aiCode(ch, t)) & 0xFFFFFF, 6);
        updateAlerts(t);
        break;
    case proto::Op::SetAO: {
        const int ch = channel(3);
        m_state.aoMode[ch] = (req[2] & 0x08) ? 1 : 0;
        m_state.aoRaw[ch] = int(proto::hexValue(req + 3, 4));
        return echo(req, size, len);
    }
    case proto::Op::GetAO: {
        const int ch = channel(3);
        out.push_back(uint8_t(small(ch) + (m_state.aoMode[ch] ? 8 : 0)));
        putHex(out, unsigned(m_state.aoRaw[ch]) & 0xFFFF, 4);
        break;
    }
    case proto::Op::GetAIRange: {
        const int ch = channel(3);
        out.push_back(req[2]);
        out.push_back(small(m_state.aiRange[ch]));
        out.push_back(small(0));
        break;
    }
    case proto::Op::GetADCsps:
        out.insert(out.end(), req + 2, req + 6); // the address asked for
        putHex(out, unsigned(m_state.adcSps) & 0xFF, 2);
        break;
    case proto::Op::SetAIRange:
        m_state.aiRange[channel(3)] = smallValue(req[3]) & 0x07;
        return echo(req, size, len);
    case proto::Op::SetADCsps:
        m_state.adcSps = smallValue(req[2]) & 0x07;
        return echo(req, size, len);
    case proto::Op::GetADCThreshold: {
        const UnitState::Threshold &th = m_state.thresholds[channel(3)];
        out.push_back(req[2]);
        out.push_back(uint8_t(small(th.mode & 0x03) + (th.outside ? 8 : 0)));
        putHex(out, unsigned(th.low) & 0xFFFF, 4);
        putHex(out, unsigned(th.high) & 0xFFFF, 4);
        break;
    }
    case proto::Op::SetADCThreshold: {
        UnitState::Threshold &th = m_state.thresholds[channel(3)];
        th.outside = (req[3] & 0x08) ? 1 : 0;
        th.mode = req[3] & 0x03;
        th.low = int(proto::hexValue(req + 4, 4));
        th.high = int(proto::hexValue(req + 8, 4));
        return echo(req, size, len);
    }
    case proto::Op::GetUnitModelID:
        // The unit ID travels inverted.
        out.push_back(small(15 - (m_config.unitId & 0x0F)));
        out.push_back(small(m_config.modelId & 0x0F));
        break;
    case proto::Op::SetTCSetting: {
        const int ch = channel(3);
        m_state.tcType[ch] = smallValue(req[3]) & 0x07;
        m_state.tcOptions[ch] = smallValue(req[4]) & 0x07;
        return echo(req, size, len);
    }
    case proto::Op::GetTCSetting: {
        const int ch = channel(3);
        out.push_back(req[2]);
        out.push_back(small(m_state.tcType[ch]));
        out.push_back(small(m_state.tcOptions[ch]));
        // Bytes 5-13 are ours: the channel's reading in tenths of a degree.
        char text[16];
        std::snprintf(text, sizeof text, "%+09d", int(std::lround(aiCode(ch, t) / 256.0)));
        out.insert(out.end(), text, text + 9);
        break;
    }
    case proto::Op::GetDOAlert: {
        const UnitState::DoAlert &a = m_state.doAlerts[channel(2)];
        out.push_back(req[2]);
        out.push_back(small(a.enabled & 0x01));
        out.push_back(small(a.monitoredAi & 0x07));
        out.push_back(small(a.direction & 0x01));
        putHex(out, unsigned(a.hysteresis) & 0xFFFF, 4);
        break;
    }
    case proto::Op::SetDOAlert: {
        UnitState::DoAlert &a = m_state.doAlerts[channel(2)];
        a.monitoredAi = std::clamp(smallValue(req[3]) & 0x07, 0, 2);
        a.direction = smallValue(req[4]) & 0x01;
        a.hysteresis = int(proto::hexValue(req + 5, 4));
        return echo(req, size, len);
    }
    case proto::Op::SetDOAlertEnable:
        m_state.doAlerts[channel(2)].enabled = smallValue(req[3]) & 0x01;
        return echo(req, size, len);
    }
    finish(out, len);
    return out;
}

} // namespace qn::sim
