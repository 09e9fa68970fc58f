#pragma once
// The four unit models and what tells them apart. Everything that depends on the model asks
// traits(model) instead of comparing model numbers.
#include <array>
#include <optional>
#include <string_view>

namespace qn {

// In the order of the device list's model index (which page a unit window builds).
enum class Model { QN210, QN220, QN110, QN120 };

inline constexpr std::array<Model, 4> kAllModels = {Model::QN210, Model::QN220, Model::QN110, Model::QN120};

// One trend series of a model's graph: its default name, range and whether it is an ON/OFF trace
// (drawn in its own band, digitalMin .. digitalMax, hidden at first).
struct SeriesLayout {
    std::string_view name;
    double min, max;
    bool digital;
    double digitalMin, digitalMax;
};

struct ModelTraits {
    Model model;
    std::string_view name;      // "QN-210"
    int modelId;                // what the unit reports: 8, 10, 9, 11
    int settingsCode;           // the settings file's model family: 0 (QN-210/220), 1, 2
    std::string_view logPrefix; // the first part of its log file names ("QN-210" for the QN-220 too)
    int analogInputs, digitalInputs, analogOutputs, digitalOutputs;
    bool thermocouple;          // has the thermocouple input range
    bool doAlert;               // has the DO alert on its outputs
    std::array<SeriesLayout, 5> series;
};

const ModelTraits &traits(Model model);
// The model a unit reports by its model ID; nullopt for an ID no page supports.
std::optional<Model> modelFromId(int modelId);

} // namespace qn
