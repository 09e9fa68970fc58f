#include "qnlog/readingconversion.h"

#include "model/inputrange.h"
#include "model/outputmode.h"
#include "settings/unitsettings.h"

namespace qn::logsvc {

namespace {

constexpr int kInputKind = 0;
constexpr int kOutputKind = 1;

bool analogInputs(Model model)
{
    return traits(model).analogInputs > 0;
}

std::string utf8(const QString &text)
{
    return text.toStdString();
}

} // namespace

std::vector<Query> identificationQueries()
{
    return {{proto::Op::GetUnitModelID}};
}

std::vector<Query> setupQueries(Model model)
{
    std::vector<Query> queries;
    if (analogInputs(model))
        for (int c = 0; c < traits(model).analogInputs; ++c)
            queries.push_back({proto::Op::GetAIRange, {c}});
    return queries;
}

std::optional<UnitSetup> setupFromIdentification(const proto::Results &identification)
{
    const std::optional<Model> model = modelFromId(identification[1]);
    if (!model)
        return std::nullopt;
    UnitSetup setup;
    setup.model = *model;
    setup.unitId = identification[0];
    return setup;
}

void applySetupResults(UnitSetup &setup, const std::vector<proto::Results> &results)
{
    for (const proto::Results &r : results)
        if (r[0] >= 0 && r[0] < int(setup.inputRanges.size()))
            setup.inputRanges[std::size_t(r[0])] = r[1];
}

std::vector<Query> readingQueries(Model model)
{
    if (analogInputs(model))
        return {{proto::Op::GetAllAI}, {proto::Op::GetDO}};
    std::vector<Query> queries{{proto::Op::GetDI}};
    for (int c = 0; c < traits(model).analogOutputs; ++c)
        queries.push_back({proto::Op::GetAO, {c}});
    return queries;
}

Reading readingFrom(const UnitSetup &setup, const UnitIdentity &identity, const std::vector<proto::Results> &answers,
                    const UnitSettingsStore &settings, std::chrono::system_clock::time_point time)
{
    const ModelTraits &t = traits(setup.model);
    const int code = t.settingsCode;
    Reading reading;
    reading.unit = identity;
    reading.time = time;
    if (analogInputs(setup.model)) {
        for (int c = 0; c < t.analogInputs; ++c) {
            const ChannelSettings s = settings.getConversion(code, setup.unitId, kInputKind, c);
            const int range = setup.inputRanges[std::size_t(c)];
            ChannelValue ch;
            ch.signalName = utf8(s.signalName);
            ch.raw = answers[0][std::size_t(c)];
            ch.value = ai::convertedValue(ch.raw, range, s.a, s.b);
            ch.valueText = ai::trimmedValue(ch.value);
            ch.unit = s.unitText.isEmpty() ? std::string(ai::defaultUnit(range)) : utf8(s.unitText);
            reading.channels.push_back(std::move(ch));
        }
        const int pattern = answers[1][0];
        for (int o = 0; o < t.digitalOutputs; ++o)
            reading.digitalOutputs.push_back({utf8(settings.getSignalName(code, setup.unitId, kOutputKind, o)),
                                              bool((pattern >> o) & 1)});
        return reading;
    }
    const int bits = answers[0][0];
    for (int m = 0; m < t.digitalInputs; ++m)
        reading.digitalInputs.push_back({utf8(settings.getSignalName(code, setup.unitId, kInputKind, m)),
                                         bool((bits >> m) & 1)});
    for (int c = 0; c < t.analogOutputs; ++c) {
        const ChannelSettings s = settings.getConversion(code, setup.unitId, kOutputKind, c);
        const proto::Results &ao = answers[std::size_t(1 + c)];
        const int mode = ao[1];
        ChannelValue ch;
        ch.signalName = utf8(s.signalName);
        ch.raw = ao::signExtend16(ao[2]);
        ch.value = ao::physicalFromRaw(mode, ch.raw) * s.a + s.b;
        ch.valueText = ao::valueText(mode, ch.value);
        ch.unit = s.unitText.isEmpty() ? std::string(ao::unitName(mode)) : utf8(s.unitText);
        reading.channels.push_back(std::move(ch));
    }
    return reading;
}

} // namespace qn::logsvc
