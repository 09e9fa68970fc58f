#pragma once
// Text of the unit list, shared by the main dialog and qnctl, and the model tables.
// Texts are UTF-8. Pure functions apart from identifyListedUnits; any thread.

#include "link/discovery.h"
#include "link/protocol.h"

#include <string>
#include <vector>

namespace qn {

// Model IDs a unit reports (the protocol's table, under the names the GUI uses).
inline constexpr int kModelQN210 = proto::kModelQN210;
inline constexpr int kModelQN110 = proto::kModelQN110;
inline constexpr int kModelQN220 = proto::kModelQN220;
inline constexpr int kModelQN120 = proto::kModelQN120;

// The header line above the list; its columns line up with unitListLine in a
// fixed-pitch font.
inline constexpr const char *kUnitListHeader = "MACアドレス        機種      ID    IPアドレス";

// "QN-210" for 8, "QN-110" for 9, "QN-220" for 10, "QN-120" for 11, "" otherwise.
std::string modelName(int modelId);

// "00-1A-2B-3C-4D-5E"
std::string macText(const MacAddress &mac);
// "MACアドレス: 00-1A-2B-3C-4D-5E", the information line of a unit window.
std::string macInfoText(const MacAddress &mac);
// "<mac> <model, 9 wide> <ID:n  or 5 spaces> <ip>"
std::string unitListLine(const UnitEntry &entry);
// One line per entry, in table order.
std::vector<std::string> unitListLines(const UnitTable &table);
// "QN-110(ID:1) - 192.0.2.10"
std::string unitWindowTitle(const UnitEntry &entry);

// What a search does before listing: identify every entry whose TCP port is
// tcpPort, storing model and unit ID in it; a failed identification leaves the
// entry as it was and is not reported. Blocks up to a few time-outs per entry.
// Returns how many entries were identified.
int identifyListedUnits(UnitTable &table, int tcpPort, int timeoutMs = kIdentifyTimeoutMs);

} // namespace qn
