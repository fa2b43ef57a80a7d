#include "VEQUI/Views/Kit/DateTexts.hpp"

#include <fmt/format.h>

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace veq::DateTexts {

namespace {

QDateTime localOf(std::chrono::system_clock::time_point date) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms);
}

} // namespace

QString listDate(std::chrono::system_clock::time_point date, bool withSeconds) {
    const QDateTime local = localOf(date);
    const QLocale locale;
    const QString day = locale.toString(local.date(), QStringLiteral("d MMM yyyy"));
    const QString time = locale.toString(local.time(), withSeconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    return day + QLatin1Char(' ') + time;
}

QString clockTime(std::chrono::system_clock::time_point date) {
    return QLocale().toString(localOf(date).time(), QStringLiteral("HH:mm:ss"));
}

QString clockDuration(double seconds) {
    // Whole seconds; a span beyond any clock's reach is held at a bound rather than overflowing.
    const auto s = seconds > 0 ? static_cast<long long>(std::min(seconds, 9.0e15)) : 0LL;
    const std::string text = s < 3600 ? fmt::format("{}:{:02d}", s / 60, s % 60)
                                       : fmt::format("{}:{:02d}:{:02d}", s / 3600, s % 3600 / 60, s % 60);
    return QString::fromStdString(text);
}

} // namespace veq::DateTexts
