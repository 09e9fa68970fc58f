#pragma once
// The texts the trend graph draws: time-axis dates and times, the grid caption, value-axis
// labels and the cursor read-out. GUI thread only.
#include <QString>

#include <ctime>

namespace qn {

// Whole seconds toward zero, read as an unsigned 32-bit count since 1970, in the local zone.
std::tm calendarOf(double seconds);
QString dateText(const std::tm &tm); // "2027/01/15"
QString timeText(const std::tm &tm); // "08:00:00"

QString secondsPerDivisionCaption(double seconds);
QString valueLabel(double value, double minValue, double maxValue);
QString readoutText(double value, double time);

} // namespace qn
