#include "qnlog/readingconversion.h"

#include "model/inputrange.h"
#include "model/outputmode.h"
#include "settings/unitsettings.h"

namespace qn::logsvc {

namespace {

bool analogInputs(Model model)
{
    return traits(model).analogInputs > 0;
}

std::string utf8(const QString &text)
{
    return text.toStdString();
}

} // namespace

void keepOutputs(UnitSetup &setup, const ReadingAnswers &answers)
{
    if (answers.outputStates)
        setup.outputStates = *answers.outputStates;
    for (const AnalogOutput &o : answers.outputValues)
        if (o.channel >= 0 && o.channel < int(setup.outputValues.size()))
            setup.outputValues[std::size_t(o.channel)] = o;
}

Reading readingFrom(const UnitSetup &setup, const UnitIdentity &identity, const ReadingAnswers &answers,
                    const UnitSettingsStore &settings, std::chrono::system_clock::time_point time)
{
    const ModelTraits &t = traits(setup.model);
    const int code = t.settingsCode;
    Reading reading;
    reading.unit = identity;
    reading.time = time;
    if (analogInputs(setup.model)) {
        for (int c = 0; c < t.analogInputs; ++c) {
            const ChannelSettings s = settings.getConversion(code, setup.unitId, RecordKind::Input, c);
            const int range = setup.inputRanges[std::size_t(c)];
            ChannelValue ch;
            ch.signalName = utf8(s.signalName);
            ch.raw = answers.analogInputs.values()[std::size_t(c)];
            ch.value = ai::convertedValue(ch.raw, range, s.a, s.b);
            ch.valueText = ai::trimmedValue(ch.value);
            ch.unit = s.unitText.isEmpty() ? std::string(ai::defaultUnit(range)) : utf8(s.unitText);
            reading.channels.push_back(std::move(ch));
        }
        const int pattern = setup.outputStates.pattern;
        for (int o = 0; o < t.digitalOutputs; ++o)
            reading.digitalOutputs.push_back({utf8(settings.getSignalName(code, setup.unitId, RecordKind::Output, o)),
                                              bool((pattern >> o) & 1)});
        return reading;
    }
    const int bits = answers.digitalInputs.bits;
    for (int m = 0; m < t.digitalInputs; ++m)
        reading.digitalInputs.push_back({utf8(settings.getSignalName(code, setup.unitId, RecordKind::Input, m)),
                                         bool((bits >> m) & 1)});
    for (int c = 0; c < t.analogOutputs; ++c) {
        const ChannelSettings s = settings.getConversion(code, setup.unitId, RecordKind::Output, c);
        const int mode = setup.outputValues[std::size_t(c)].mode;
        ChannelValue ch;
        ch.signalName = utf8(s.signalName);
        ch.raw = ao::signExtend16(setup.outputValues[std::size_t(c)].raw);
        ch.value = ao::physicalFromRaw(mode, ch.raw) * s.a + s.b;
        ch.valueText = ao::valueText(mode, ch.value);
        ch.unit = s.unitText.isEmpty() ? std::string(ao::unitName(mode)) : utf8(s.unitText);
        reading.channels.push_back(std::move(ch));
    }
    return reading;
}

} // namespace qn::logsvc
