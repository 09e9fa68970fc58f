#include "graph/graphtext.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace qn {

std::tm calendarOf(double seconds)
{
    // Through Qt, as the C library's thread-safe local time differs by platform. The labels
    // of one picture are asked for again with every reading, and a conversion reads the zone
    // afresh each time: the last few are kept (forgotten within seconds, so a change of the
    // zone shows soon).
    const qint64 key = qint64(std::uint32_t(std::int64_t(seconds)));
    thread_local std::vector<std::pair<qint64, std::tm>> recent;
    for (const auto &[at, tm] : recent)
        if (at == key)
            return tm;
    if (recent.size() >= 32)
        recent.clear();
    const QDateTime local = QDateTime::fromSecsSinceEpoch(key);
    const QDate date = local.date();
    const QTime time = local.time();
    std::tm tm{};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    tm.tm_hour = time.hour();
    tm.tm_min = time.minute();
    tm.tm_sec = time.second();
    recent.emplace_back(key, tm);
    return tm;
}

QString dateText(const std::tm &tm)
{
    return QString::asprintf("%d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

QString timeText(const std::tm &tm)
{
    return QString::asprintf("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

QString secondsPerDivisionCaption(double s)
{
    if (s < 1)
        return QString::asprintf("%.2f sec/div", s);
    const long long n = (long long)std::trunc(s);
    if (s < 60)
        return QString::asprintf("%lld sec/div", n);
    if (s < 3600)
        return QString::asprintf("%lld min/div", n / 60);
    if (s < 86400)
        return QString::asprintf("%lld hour/div", n / 3600);
    return QString::asprintf("%lld day/div", n / 86400);
}

QString valueLabel(double value, double minValue, double maxValue)
{
    if (maxValue > 999.9999 || minValue < -999.9999)
        return QString::asprintf("%+8.2f", value);
    return QString::asprintf("%+8.3f", value);
}

QString readoutText(double value, double time)
{
    const std::tm tm = calendarOf(time);
    return QStringLiteral("Cursor [%1, %2 %3]").arg(QString::asprintf("%+8.3f", value), dateText(tm), timeText(tm));
}

} // namespace qn
