#pragma once
#include <QDateTime>
#include <QString>

namespace quorvel {

// "2018年3月5日"
QString dateText(const QDate& date);
// The date, then "%d时%d分%d秒", "%d时%d分" or "%d时" as far as the time is not zero.
QString dateTimeText(const QDateTime& dateTime);

} // namespace quorvel
