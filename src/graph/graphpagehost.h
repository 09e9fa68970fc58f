#pragma once
// What the graph tab page asks of the device page it belongs to. Each device page (QN-110,
// QN-120, QN-210, QN-220) implements it, so the graph page needs none of their classes.
// All calls come on the GUI thread, from the graph page's control handlers.

namespace qn {

class GraphPageHost {
public:
    virtual ~GraphPageHost() = default;
    // Scale button of analog channel 0-2: the same as the page's own formula button.
    virtual void openFormulaDialog(int channel) = 0;
    // Display period index 0-9 ("1min" ... "24hour"): the canvas takes the period's span,
    // then its grid spacing (see displayPeriod() in graphtab.h); other indexes are ignored.
    virtual void setDisplayPeriod(int index) = 0;
    // After any change on the graph page: the canvas places its window again and shows
    // what changed (setTimeRange(0, 0)).
    virtual void refreshGraph() = 0;
};

} // namespace qn
