#include "model/model.h"

namespace qn {
namespace {

constexpr std::array<SeriesLayout, 5> kAnalogInputSeries = {{{"AI1", -10, 10, false, 0, 0},
                                                             {"AI2", -10, 10, false, 0, 0},
                                                             {"AI3", -10, 10, false, 0, 0},
                                                             {"DO1", 0, 1, true, -8.8, 1.2},
                                                             {"DO2", 0, 1, true, -7.5, 2.5}}};

constexpr std::array<ModelTraits, 4> kTraits = {{
    {Model::QN210, "QN-210", 8, 0, "QN-210", 3, 0, 0, 2, false, false, kAnalogInputSeries},
    {Model::QN220, "QN-220", 10, 0, "QN-210", 3, 0, 0, 2, true, true, kAnalogInputSeries},
    {Model::QN110, "QN-110", 9, 1, "QN-110", 0, 3, 2, 0, false, false,
     {{{"AO1", -10, 10, false, 0, 0},
       {"AO2", -10, 10, false, 0, 0},
       {"DI1", -10, 10, true, -8.8, 1.2},
       {"DI2", 0, 1, true, -7.5, 2.5},
       {"DI3", 0, 1, true, -6.2, 3.8}}}},
    {Model::QN120, "QN-120", 11, 2, "QN-120", 0, 2, 3, 0, false, false,
     {{{"AO1", -10, 10, false, 0, 0},
       {"AO2", -10, 10, false, 0, 0},
       {"AO3", -10, 10, false, 0, 0},
       {"DI1", 0, 1, true, -8.8, 1.2},
       {"DI2", 0, 1, true, -7.5, 2.5}}}},
}};

} // namespace

const ModelTraits &traits(Model model) { return kTraits[std::size_t(model)]; }

std::optional<Model> modelFromId(int modelId)
{
    for (const ModelTraits &t : kTraits)
        if (t.modelId == modelId)
            return t.model;
    return std::nullopt;
}

} // namespace qn
