// The option texts qnsim takes (and tests hand to it): a unit's model, ID and address.
#include "link/net.h"
#include "sim/simulator.h"

#include <cstdio>

namespace qn::sim {

std::vector<std::string> splitFields(const std::string &text, char separator)
{
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        fields.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return fields;
        from = at + 1;
    }
}

std::optional<UnitConfig> parseUnitOption(const std::string &text, std::string *error)
{
    auto fail = [&](const std::string &why) -> std::optional<UnitConfig> {
        if (error)
            *error = "unit '" + text + "': " + why;
        return std::nullopt;
    };
    const std::vector<std::string> parts = splitFields(text);
    if (parts.size() < 4 || parts.size() > 5)
        return fail("expected MODEL:ID:IP:PORT[:MAC]");
    UnitConfig c;
    const auto model = proto::modelIdFromName(parts[0]);
    if (!model)
        return fail("unknown model '" + parts[0] + "' (QN-210, QN-220, QN-110 or QN-120)");
    c.modelId = *model;
    auto number = [](const std::string &s, long lo, long hi) -> std::optional<long> {
        if (s.empty() || s.size() > 6)
            return std::nullopt;
        long v = 0;
        for (char ch : s) {
            if (ch < '0' || ch > '9')
                return std::nullopt;
            v = v * 10 + (ch - '0');
        }
        if (v < lo || v > hi)
            return std::nullopt;
        return v;
    };
    const auto id = number(parts[1], 0, 15);
    if (!id)
        return fail("unit ID must be 0..15");
    c.unitId = int(*id);
    if (!net::parseIpv4(parts[2]))
        return fail("'" + parts[2] + "' is not a dotted IPv4 address");
    c.bindIp = parts[2];
    const auto port = number(parts[3], 0, 65535);
    if (!port)
        return fail("port must be 0..65535");
    c.tcpPort = uint16_t(*port);
    if (parts.size() == 5) {
        const std::string &m = parts[4];
        unsigned b[6];
        char sep[5];
        if (m.size() != 17
            || std::sscanf(m.c_str(), "%2x%c%2x%c%2x%c%2x%c%2x%c%2x", &b[0], &sep[0], &b[1], &sep[1], &b[2], &sep[2], &b[3],
                           &sep[3], &b[4], &sep[4], &b[5])
                   != 11)
            return fail("MAC must look like 00-80-92-12-34-56");
        for (char s : sep)
            if (s != '-' && s != '.')
                return fail("MAC must look like 00-80-92-12-34-56");
        for (int i = 0; i < 6; ++i)
            c.mac[i] = uint8_t(b[i]);
    } else {
        // A stable made-up MAC per model and unit ID.
        c.mac = {0x00, 0x80, 0x92, uint8_t(c.modelId), uint8_t(c.unitId), uint8_t(*port & 0xFF)};
    }
    return c;
}

} // namespace qn::sim
