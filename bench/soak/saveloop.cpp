// qnsaveloop: the settings file under kills (scripts/killsave drives it).
//
//   qnsaveloop --init FILE    writes the first of two distinct stores to FILE
//   qnsaveloop FILE           saves the two stores in turn until killed; prints "saving"
//                             once the first save has succeeded
//   qnsaveloop --check FILE   prints what FILE holds now: "empty", "whole" (it loads as
//                             one of the two stores) or "mixed"
//
// The stores differ in every record and in length (the second's texts are longer),
// so a save cut short anywhere shows as a file that loads as neither.
#include "settings/unitsettings.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

using qn::UnitSettingsStore;

UnitSettingsStore distinctStore(bool second)
{
    UnitSettingsStore store;
    const QString name = second ? QStringLiteral("bravo channel %1") : QStringLiteral("a%1");
    for (int i = 0; i < UnitSettingsStore::Records; ++i) {
        const int channel = i % UnitSettingsStore::Channels;
        const int rest = i / UnitSettingsStore::Channels;
        const auto kind = qn::RecordKind(rest % UnitSettingsStore::Kinds);
        const int slot = rest / UnitSettingsStore::Kinds;
        qn::ChannelSettings record;
        record.signalName = name.arg(i);
        record.a = second ? 1000.5 + i : 2 + i;
        record.b = second ? -0.25 * i : 0.5 * i;
        record.unitText = second ? QStringLiteral("degC x%1").arg(i) : QStringLiteral("V");
        record.graphMin = second ? -100.0 : 0.0;
        record.graphMax = second ? 100.0 + i : 10.0;
        // setRecord saves at each call; with no path that does nothing.
        store.setRecord(slot / UnitSettingsStore::UnitIds, slot % UnitSettingsStore::UnitIds, kind, channel, record);
    }
    return store;
}

int check(const QString &path)
{
    QFile file(path);
    const bool empty = !file.open(QIODevice::ReadOnly) || file.size() == 0;
    UnitSettingsStore loaded;
    if (!empty)
        loaded.deserialize(file.readAll());
    const QByteArray bytes = loaded.serialize();
    const bool whole = bytes == distinctStore(false).serialize() || bytes == distinctStore(true).serialize();
    std::puts(empty ? "empty" : whole ? "whole" : "mixed");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0)
        return check(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--init") == 0)
        return distinctStore(false).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc != 2) {
        std::fputs("usage: qnsaveloop [--init|--check] FILE\n", stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const UnitSettingsStore stores[2] = {distinctStore(false), distinctStore(true)};
    for (unsigned n = 1;; ++n) {
        if (!stores[n % 2].save(path)) {
            std::fputs("qnsaveloop: a save failed\n", stderr);
            return 1;
        }
        if (n == 1) {
            std::puts("saving");
            std::fflush(stdout);
        }
    }
}
