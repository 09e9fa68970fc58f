#pragma once
// Commands a subscriber sends to a unit: "<unit topic>/set/DO1" with "1" or "0",
// "<unit topic>/set/AO1" with a number in the channel's converted unit. Reading the topic,
// checking the command against the unit and writing the answer are pure functions here;
// carrying a command out is the service's (see Publisher::CommandRunner). Any thread.
#include "model/model.h"

#include <optional>
#include <string>
#include <string_view>

namespace qn::mqtt {

struct CommandTopic {
    std::string unitTopic; // "qnview/QN-110_1_192.168.10.21"
    std::string channel;   // "DO1" as written; checkCommand says whether it is one
};
// nullopt for a topic that is not "<prefix>/<unit>/set/<channel>".
std::optional<CommandTopic> parseCommandTopic(std::string_view prefix, std::string_view topic);
// "<unit topic>/set/+" and "<unit topic>/result"
std::string commandFilter(std::string_view prefix);
std::string resultTopic(std::string_view unitTopic);

enum class OutputKind { Digital, Analog };

struct Command {
    OutputKind kind = OutputKind::Digital;
    int channel = 1;  // 1-based, as in "DO1"
    double value = 0; // 0/1 for a digital output, the converted value for an analog one
};

// A command, or why it is refused (nothing goes to the unit then).
struct CommandCheck {
    std::optional<Command> command;
    std::string error;
};
CommandCheck checkCommand(std::string_view channel, std::string_view payload, Model model, bool enabled);

// {"channel":"DO1","payload":"1","ok":true} or {...,"ok":false,"error":"..."}.
std::string commandResultJson(std::string_view channel, std::string_view payload, std::string_view error);

} // namespace qn::mqtt
