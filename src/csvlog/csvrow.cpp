#include "csvlog/csvrow.h"

#include "csvlog/channellog.h"
#include "settings/unitsettings.h"

namespace qn {

namespace {

QString text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

bool analogInputs(const unit::NamedReading &reading)
{
    return traits(reading.model).analogInputs > 0;
}

QString numbered(const char *prefix, std::size_t index)
{
    return QLatin1String(prefix) + QString::number(index + 1);
}

} // namespace

unit::ChannelSetups channelSetups(const UnitSettingsStore &settings, Model model, int unitId)
{
    const ModelTraits &t = traits(model);
    const bool inputs = t.analogInputs > 0;
    const RecordKind analogKind = inputs ? RecordKind::Input : RecordKind::Output;
    const RecordKind digitalKind = inputs ? RecordKind::Output : RecordKind::Input;
    unit::ChannelSetups setups;
    for (int c = 0; c < (inputs ? t.analogInputs : t.analogOutputs); ++c) {
        const ChannelSettings s = settings.getConversion(t.settingsCode, unitId, analogKind, c);
        setups.analog.push_back({s.signalName.toStdString(), s.a, s.b, s.unitText.toStdString()});
    }
    for (int m = 0; m < (inputs ? t.digitalOutputs : t.digitalInputs); ++m)
        setups.digital.push_back(settings.getSignalName(t.settingsCode, unitId, digitalKind, m).toStdString());
    return setups;
}

QString csvRowHeader(const unit::NamedReading &reading)
{
    const auto columns = [](const auto &channels, const char *prefix, bool whole) {
        QStringList names;
        for (std::size_t c = 0; c < channels.size(); ++c) {
            const QString name = text(channels[c].signalName);
            names << (whole ? wholeLogColumnName(name, int(c + 1), numbered(prefix, c))
                            : logColumnName(name, int(c + 1), numbered(prefix, c)));
        }
        return names;
    };
    if (analogInputs(reading))
        return analogInputLogHeader(columns(reading.channels, "AI", false) + columns(reading.digitalOutputs, "DO", false));
    return analogOutputLogHeader(columns(reading.digitalInputs, "DI", false), columns(reading.channels, "AO", true));
}

QStringList csvRowFields(const unit::NamedReading &reading)
{
    QStringList values, units;
    for (const unit::ChannelValue &ch : reading.channels) {
        values << text(ch.valueText);
        units << text(ch.unit);
    }
    if (analogInputs(reading)) {
        const auto on = [&](std::size_t o) { return o < reading.digitalOutputs.size() && reading.digitalOutputs[o].on; };
        return analogInputLogFields(values, units, on(0) ? 1 : 0, on(1) ? 1 : 0);
    }
    QList<bool> inputs;
    for (const unit::DigitalValue &di : reading.digitalInputs)
        inputs << di.on;
    return analogOutputLogFields(inputs, values, units);
}

} // namespace qn
