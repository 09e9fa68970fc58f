#include "link/unitlist.h"

#include <cstdio>

namespace qn {

std::string modelName(int modelId)
{
    return std::string(proto::modelName(modelId));
}

std::string macText(const MacAddress &mac)
{
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buf;
}

std::string macInfoText(const MacAddress &mac)
{
    return "MACアドレス: " + macText(mac);
}

std::string unitListLine(const UnitEntry &entry)
{
    std::string id = "     ";
    if (entry.unitId != -1) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "ID:%-2d", entry.unitId);
        id = buf;
    }
    char model[16];
    std::snprintf(model, sizeof model, "%-9s", modelName(entry.modelId).c_str());
    return macText(entry.mac) + ' ' + model + ' ' + id + ' ' + entry.ipText;
}

std::vector<std::string> unitListLines(const UnitTable &table)
{
    std::vector<std::string> lines;
    lines.reserve(size_t(table.count()));
    for (const UnitEntry &e : table.entries())
        lines.push_back(unitListLine(e));
    return lines;
}

std::string unitWindowTitle(const UnitEntry &entry)
{
    return modelName(entry.modelId) + "(ID:" + std::to_string(entry.unitId) + ") - " + entry.ipText;
}

int identifyListedUnits(UnitTable &table, int tcpPort, int timeoutMs)
{
    int identified = 0;
    for (int i = 0; i < table.count(); ++i) {
        UnitEntry &e = table[i];
        if (int(e.tcpPort) != tcpPort)
            continue;
        if (const Result<UnitModelId> id = getUnitModelID(e.ipText, e.tcpPort, timeoutMs)) {
            e.modelId = id->modelId;
            e.unitId = id->unitId;
            ++identified;
        }
    }
    return identified;
}

} // namespace qn
