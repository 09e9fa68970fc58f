#pragma once
// What the main dialog hands to the window of one connected unit.
#include "model/model.h"

#include <QString>

#include <functional>

class QWidget;

namespace qn {

struct UnitWindowArgs {
    Model model = Model::QN210;
    QString ipAddress;      // dotted IPv4
    int tcpPort = 0;
    QString title;          // window title, e.g. "QN-210(ID:3) - 192.0.2.7"
    QString macText;        // for the page's information line
    int unitId = 0;
    bool loggingEnabled = false;
    QString logFolder;
    int rowsPerFile = -1;   // -1: no automatic change of log file
};

// Opens the window of one unit (GUI thread). The main dialog calls it on connect.
using UnitWindowOpener = std::function<void(const UnitWindowArgs &)>;
// The open window connected to ipAddress:tcpPort, if any (GUI thread).
using UnitWindowFinder = std::function<QWidget *(const QString &ipAddress, int tcpPort)>;

} // namespace qn
