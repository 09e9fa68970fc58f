#pragma once
// The per-unit channel settings (signal names, conversion formulas, graph ranges) and
// their file beside the program. One store serves the whole program: unitSettings().
// GUI thread only; there is no locking.
#include <QString>

#include <array>

namespace qn {

// Which of a unit's channels a record belongs to; the file keeps them in this order.
enum class RecordKind { Input = 0, Output = 1 };

// One channel of one unit.
struct ChannelSettings {
    QString signalName;     // at most 31 bytes in code page 932
    double a = 1.0;         // converted = a * x + b
    double b = 0.0;
    QString unitText;       // at most 31 bytes in code page 932
    double graphMin = 0.0;  // a range whose maximum is not above its minimum is unset
    double graphMax = 0.0;
};

class UnitSettingsStore final {
public:
    static constexpr int ModelCodes = 3;
    static constexpr int UnitIds = 16;
    static constexpr int Kinds = 2;       // RecordKind::Input, RecordKind::Output
    static constexpr int Channels = 7;
    static constexpr int Slots = ModelCodes * UnitIds;           // 48
    static constexpr int Records = Slots * Kinds * Channels;     // 672
    static constexpr int MaxTextBytes = 31;
    static constexpr int FileVersion = 2;
    static constexpr int LinesPerFile = 1 + Records * 6;        // 4033

    UnitSettingsStore();  // every record at its default

    // The default record of a channel: name "1".."7", a 1, b 0, no unit, range 0..0.
    static ChannelSettings defaultRecord(int channel);

    // Remember path and read the file there. A missing or foreign file keeps the
    // defaults; a truncated one keeps what was read. Nothing is reported.
    void loadSettings(const QString &path);
    // Write the whole store to the remembered path. The old file is replaced only by a
    // complete new one, so a failed write keeps it; where the folder is not writable but
    // the file is, the file is written in place. Returns false on failure (callers
    // of the program ignore it: failures are silent).
    bool saveSettings();

    // Same as loadSettings; save(path) writes to path without changing the remembered one.
    void load(const QString &path) { loadSettings(path); }
    bool save(const QString &path) const;

    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    // Keys: model code 0-2, unit ID 0-15, input or output, channel 0-6. Out-of-range keys
    // read the channel's default and write nothing.
    QString getSignalName(int modelCode, int unitId, RecordKind kind, int channel) const;
    void setSignalName(int modelCode, int unitId, RecordKind kind, int channel, const QString &name);  // saves
    ChannelSettings getConversion(int modelCode, int unitId, RecordKind kind, int channel) const;
    void setConversion(int modelCode, int unitId, RecordKind kind, int channel, double a, double b,
                       const QString &unitText, double graphMin, double graphMax);  // saves
    // The whole record at once (saves).
    void setRecord(int modelCode, int unitId, RecordKind kind, int channel, const ChannelSettings &record);

    // Every record back to its default (the path stays).
    void resetToDefaults();

    // The file's bytes as saveSettings writes them.
    QByteArray serialize() const;
    // Its first lines: the header and the first count records in file order.
    QByteArray serializeRecords(int count) const;
    // Reads file bytes over the current records (what loadSettings does after opening).
    void deserialize(const QByteArray &bytes);

private:
    static int index(int modelCode, int unitId, RecordKind kind, int channel);

    std::array<ChannelSettings, Records> m_records;
    QString m_path;
};

// A settings file's number as the C library's atof reads it ("+-1" gives 0, "1e999" an
// infinity). The store keeps a field's default where this gives no finite number.
double numberFromSettingsText(const QByteArray &line);
// Removes the temporary files that saves of the settings file at path left behind
// when they were cut short; returns how many.
int removeStaleSaveFiles(const QString &path);

// The program's one store, built with defaults on first use.
UnitSettingsStore &unitSettings();

} // namespace qn
