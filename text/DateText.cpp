#include "text/DateText.h"

namespace quorvel {

QString dateText(const QDate& date) {
    return QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day());
}

QString dateTimeText(const QDateTime& dateTime) {
    const QTime t = dateTime.time();
    QString text = dateText(dateTime.date());
    if (t.second() != 0)
        text += QStringLiteral("%1时%2分%3秒").arg(t.hour()).arg(t.minute()).arg(t.second());
    else if (t.minute() != 0)
        text += QStringLiteral("%1时%2分").arg(t.hour()).arg(t.minute());
    else if (t.hour() != 0)
        text += QStringLiteral("%1时").arg(t.hour());
    return text;
}

} // namespace quorvel
