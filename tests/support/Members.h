#pragma once
// Builds a protected member table for tests, through the real store, and reads it back.
#include <QList>
#include <QString>
#include <QStringList>

namespace quorvel::test {

// One member; fields not given stay empty ("ID" is always written as "0").
struct MemberRow {
    QString card;
    QString name;
    QString gender = QStringLiteral("男");
    QString phone;
    QString type = QStringLiteral("次卡");
    QString visits;
    QString balance;
    QString operatorName;
    QString points;
    QString signUp;
    QString swipes;
};

// Creates thy.dat at path with the twelve member fields, protected with the tables' password,
// holding rows in this order; leaves every table closed. False when anything failed.
bool makeMemberTable(const QString& path, const QList<MemberRow>& rows);

// n members with the card numbers first, first + 1, ... and the name "会员<card>".
QList<MemberRow> numberedMembers(int n, int first = 1);

// The twelve values of record (1-based) of the member table at path, in field order; empty
// when it cannot be read. Opens the table (replacing the current one) unless it is current.
QStringList readMember(const QString& path, int record);
// The table's record count; -1 when it cannot be opened.
int memberCount(const QString& path);

} // namespace quorvel::test
