#include "VEQUI/Views/Kit/DateTexts.hpp"

#include <QDateTime>
#include <QLocale>

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

} // namespace veq::DateTexts
