// The one row builder of the window's and the service's logs, over the four models: analog
// output names whole, the other names cut to 16 bytes, values converted from the state the
// unit confirmed (an output's read-back, a range the table knows).
#include "csvlog/csvrow.h"

#include <gtest/gtest.h>

using namespace qn;

namespace {

struct RowCase {
    Model model;
    std::function<void(unit::UnitState &)> state;
    unit::ChannelSetups setups;
    QString header;
    QString fields;
};

const RowCase kRows[] = {
    {Model::QN210, [](unit::UnitState &s) { s.ranges = {2, 0, 6}; s.doPattern = 2; },
     {{{"炉内温度センサー上段の値", 1, 0, ""}, {"2", 1, 0, ""}, {"3", 1, 0, ""}}, {"ポンプ", "2"}},
     "日付,時刻,炉内温度センサー,単位1,AI2,単位2,AI3,単位3,ポンプ,DO2\n", "0.00000,V,0.00000,mV,0.00000,℃,0,1"},
    {Model::QN220, [](unit::UnitState &s) { s.inputs = {0x400000, 0, 2560 * 25}; s.ranges = {2, 2, 6}; s.doPattern = 1; },
     {{{"1", 2, 1, "bar"}, {"2", 1, 0, ""}, {"温度", 1, 0, ""}}, {"1", "2"}},
     "日付,時刻,AI1,単位1,AI2,単位2,温度,単位3,DO1,DO2\n", "11.0000,bar,0.00000,V,25.0000,℃,1,0"},
    // 12 V asked: the unit holds its clamp, 32767, and that is what is logged.
    {Model::QN110, [](unit::UnitState &s) { s.outputs[0] = {0, 0, 32767}; s.outputs[1] = {1, 1, 16384}; s.diBits = 5; },
     {{{"出力チャンネル一番目の長い名前", 1, 0, ""}, {"2", 1, 0, ""}}, {"1", "扉の開閉を示す接点入力です", "3"}},
     "日付,時刻,DI1,扉の開閉を示す接,DI3,出力チャンネル一番目の長い名前,単位1,AO2,単位2\n", "1,0,1,9.9997,V,10.000,mA"},
    {Model::QN120, [](unit::UnitState &s) { s.outputs[2] = {2, 0, 0xFFFF}; s.diBits = 2; },
     {{{"1", 1, 0, ""}, {"2", 1, 0, "%"}, {"バルブ開度の設定値", 10, 0, "%"}}, {"1", "2"}},
     "日付,時刻,DI1,DI2,AO1,単位1,AO2,単位2,バルブ開度の設定値,単位3\n", "0,1,0.0000,V,0.0000,%,-0.0031,%"},
};

class CsvRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(CsvRow, HeaderAndFieldsOfAReading)
{
    const RowCase &c = GetParam();
    unit::Reading reading{*unit::stateFor({4, traits(c.model).modelId}), {}, {}, unit::Quality::Good};
    c.state(reading.state);
    const unit::NamedReading named = unit::named(reading, c.setups);
    EXPECT_EQ(csvRowHeader(named), c.header);
    EXPECT_EQ(csvRowFields(named).join(','), c.fields);
}

INSTANTIATE_TEST_SUITE_P(Models, CsvRow, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(traits(info.param.model).name.substr(3)); });

} // namespace
