#pragma once
// One channel's scaling as both kinds of page keep it: the formula into the operator's
// unit (value × factor + offset, the unit text) and the range its graph series shows,
// with what the settings file holds of it. The functions below do with it what the input
// and the output pages alike do: load it, take a new formula from the dialog, fall back
// to the default graph range, save it, tell the graph page. GUI thread only.
#include "dialogs/formuladialog.h"
#include "settings/unitsettings.h"

#include <optional>

namespace qn {

class DevicePage;

struct GraphRange {
    double min = 0.0;
    double max = 0.0;
};

struct ChannelScaling {
    double factor = 1.0; // converted = value * factor + offset
    double offset = 0.0;
    QString unit;
    double graphMin = -10.0; // what the channel's series shows
    double graphMax = 10.0;
    double savedGraphMin = 0.0; // what the settings file holds; 0, 0 = the default range
    double savedGraphMax = 0.0;

    bool hasOwnRange() const { return savedGraphMax > savedGraphMin; }
    // What the formula dialog opens with: the range the series shows now.
    Formula formula() const { return {factor, offset, unit, graphMin, graphMax}; }
};

// One channel of a page with its scaling: its settings record, its series (the series
// index is the channel's number, as the graph page's Scale buttons are), the range code
// the graph page reads the unit by (input range or output mode) and the default graph
// range of that code. Made by the page for the moment it is used.
struct ScaledChannel {
    DevicePage &page;
    int settingsCode;
    RecordKind kind;
    int channel;
    ChannelScaling &scaling;
    int rangeCode;
    GraphRange defaultRange;

    // The formula and any range of its own from the settings file; the series shows that
    // range (otherwise the caller applies the default once it knows it).
    void load() const;
    // The default graph range, which the settings file then holds as unset.
    void useDefaultRange() const;
    // A formula the operator confirmed: taken and saved; a range that is not one tells the
    // operator "グラフ表示範囲が不正なため、デフォルト値に設定します" and takes the default.
    void apply(const Formula &formula) const;
    // Back to the plain value (factor 1, offset 0, no unit); not saved yet.
    void reset() const;
    void save() const;
    // The graph page's unit text and scale of the channel.
    void sendUnit() const;
    // Runs the formula dialog for the scaling; the formula after OK.
    std::optional<Formula> ask(FormulaDialog::Side side) const;

private:
    void takeOwnRange(double min, double max) const;
};

} // namespace qn
