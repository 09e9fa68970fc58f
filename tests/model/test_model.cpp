#include "model/model.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

TEST(Model, TableRows)
{
    struct Row {
        int modelId;
        Model model;
        const char *name;
        int settingsCode;
        const char *logPrefix;
        const char *firstDigitalSeries;
    };
    const Row rows[] = {
        {8, Model::QN210, "QN-210", 0, "QN-210", "DO1"},
        {10, Model::QN220, "QN-220", 0, "QN-210", "DO1"},
        {9, Model::QN110, "QN-110", 1, "QN-110", "DI1"},
        {11, Model::QN120, "QN-120", 2, "QN-120", "DI1"},
    };
    for (const Row &r : rows) {
        ASSERT_EQ(modelFromId(r.modelId), r.model) << r.modelId;
        const ModelTraits &t = traits(r.model);
        EXPECT_EQ(t.modelId, r.modelId);
        EXPECT_EQ(t.name, r.name);
        EXPECT_EQ(t.settingsCode, r.settingsCode);
        EXPECT_EQ(t.logPrefix, r.logPrefix);
        // Series: the analog channels first, then the on/off ones.
        const int analog = t.analogInputs + t.analogOutputs;
        EXPECT_EQ(t.series[size_t(analog)].name, r.firstDigitalSeries) << r.name;
        EXPECT_EQ(analog + t.digitalInputs + t.digitalOutputs, int(t.series.size())) << r.name;
    }
    for (int unknown : {-1, 0, 7, 12, 15})
        EXPECT_EQ(modelFromId(unknown), std::nullopt) << unknown;
}

} // namespace
} // namespace qn
