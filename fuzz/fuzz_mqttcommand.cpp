// What a subscriber may send the logging service: any topic and payload, read as a command and
// answered in JSON. Input: one byte choosing the model and whether commands are enabled, then
// the topic, a NUL, the payload.
#include "mqtt/command.h"
#include "mqtt/outputcommand.h"
#include "mqtt/payload.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// An answer must parse anywhere: no control characters, UTF-8 throughout.
void checkJsonText(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        check(c >= 0x20);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        check(n > 0 && i + n <= s.size());
        for (std::size_t k = 1; k < n; ++k)
            check((static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80);
        i += n;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qn::Model model = qn::kAllModels[data[0] & 3];
    const bool enabled = (data[0] & 4) != 0;
    const std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::size_t nul = rest.find('\0');
    const std::string_view topic = rest.substr(0, nul);
    const std::string_view payload = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

    const auto parsed = qn::mqtt::parseCommandTopic("qnview", topic);
    const std::string_view channel = parsed ? std::string_view(parsed->channel) : topic;
    if (parsed) {
        check(topic.substr(0, parsed->unitTopic.size()) == parsed->unitTopic);
        check(parsed->channel.find('/') == std::string::npos && !parsed->channel.empty());
    }
    const qn::mqtt::CommandCheck c = qn::mqtt::checkCommand(channel, payload, model, enabled);
    check(c.command.has_value() == c.error.empty());
    if (c.command) {
        check(enabled);
        const qn::ModelTraits &t = qn::traits(model);
        const bool digital = c.command->kind == qn::mqtt::OutputKind::Digital;
        check(c.command->channel >= 1 && c.command->channel <= (digital ? t.digitalOutputs : t.analogOutputs));
        check(digital ? (c.command->value == 0 || c.command->value == 1) : std::isfinite(c.command->value));
        // Whatever the unit answered, what goes back stays in the request's ranges.
        if (digital) {
            const int pattern = qn::mqtt::outputPattern(*c.command, int(size) * 977);
            check(pattern >= 0 && pattern <= 0xFF);
        } else {
            const int code = qn::mqtt::analogOutputCode(*c.command, data[0] >> 7, 1.0 / (1 + ((data[0] >> 3) & 7)), -3);
            check(code >= -0x8000 && code <= 0x7FFF);
        }
    }
    const std::string answer = qn::mqtt::commandResultJson(channel, payload, c.error);
    checkJsonText(answer);
    check(answer.front() == '{' && answer.back() == '}');
    return 0;
}
