#pragma once
// The member history "mxjl.dat": one entry for every change to a member's money, visits or
// points, appended in the same transaction as the change itself and never edited afterwards.
// A table file of its own beside the member table, protected with the same password, attached
// to the member table's connection so that the engine commits both files as one.
#include "store/RecordStore.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

namespace quorvel::members::history {

inline const QString kHistoryFile = QStringLiteral("mxjl.dat");

inline const QString kFieldTime = QStringLiteral("时间");
inline const QString kFieldOperator = QStringLiteral("操作员");
inline const QString kFieldCard = QStringLiteral("会员卡号");
inline const QString kFieldName = QStringLiteral("会员姓名");
inline const QString kFieldKind = QStringLiteral("类别");
inline const QString kFieldAmount = QStringLiteral("数额");
inline const QString kFieldVisitsBefore = QStringLiteral("原充值次数");
inline const QString kFieldVisitsAfter = QStringLiteral("现充值次数");
inline const QString kFieldBalanceBefore = QStringLiteral("原充值金额");
inline const QString kFieldBalanceAfter = QStringLiteral("现充值金额");
inline const QString kFieldPointsBefore = QStringLiteral("原累计积分");
inline const QString kFieldPointsAfter = QStringLiteral("现累计积分");

// Positions in an entry's values (field order).
enum Column {
    ColTime,
    ColOperator,
    ColCard,
    ColName,
    ColKind,
    ColAmount,
    ColVisitsBefore,
    ColVisitsAfter,
    ColBalanceBefore,
    ColBalanceAfter,
    ColPointsBefore,
    ColPointsAfter,
    ColumnCount
};

// Kinds of entry.
inline const QString kTopUp = QStringLiteral("充值");
inline const QString kSwipe = QStringLiteral("刷卡");
inline const QString kRedemption = QStringLiteral("积分兑换");
inline const QString kNewMember = QStringLiteral("新会员");
inline const QString kModification = QStringLiteral("修改");
inline const QString kCancellation = QStringLiteral("注销");
inline const QString kNewMemberInstead = QStringLiteral("新会员(改卡号)");
QStringList kinds();

QString historyPath();
QList<FieldDef> historyFields();
// Stored as "2024-05-01 13:05:09": text order is time order.
inline const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Attaches the history to the member table's connection, creating the file with its first
// entry's operation. The member table must be the current table; outside any Transaction, with
// the store's lock held by the caller when the current table must not change in between.
bool attachHistory();

// What an entry records of a member, read from the current record.
struct MemberValues {
    QString card;
    QString name;
    QString visits;
    QString balance;
    QString points;
};
MemberValues currentValues(const RecordStore& store);

// Appends the entry of an operation on a member inside the open Transaction: the time, the
// logged-in operator, the member's card number and name (after the change, or before it when
// the member is gone), the kind, the amount and the values before and after.
bool appendEntry(const QString& kind, const QString& amount, const MemberValues& before,
                 const MemberValues& after);
// A typed amount as an entry holds it: the number it reads as, or empty when nothing was typed.
QString amountText(const QString& typed);

// The clock the entries are stamped with; tests fix it. An empty function restores the real one.
void setClockForTesting(std::function<QDateTime()> clock);
QDateTime now();

// --- reading ---------------------------------------------------------------------------------

struct Filter {
    QString card;              // empty: every card
    std::optional<QDate> from; // first day, inclusive
    std::optional<QDate> to;   // last day, inclusive
    QString kind;              // empty: every kind
};
QList<RecordStore::Condition> conditions(const Filter& filter);

enum class Access { Ready, NoHistory, MembersMissing, MembersDamaged, HistoryDamaged };
// The message for a failed access; empty for Ready and NoHistory (there is simply nothing yet).
QString accessFailureText(Access access);

// Runs fn with the store's lock held, the member table current and the history attached. Without
// a history file nothing is created and fn does not run.
Access withHistory(const std::function<void(RecordStore&)>& fn);

// Entries matching the filter, newest first: count and a window.
qint64 countEntries(RecordStore& store, const Filter& filter);
QList<QStringList> readEntries(RecordStore& store, const Filter& filter, qint64 offset, qint64 limit);
// Every matching entry, newest first, one at a time (exports).
bool forEachEntry(RecordStore& store, const Filter& filter,
                  const std::function<void(const QStringList&)>& fn);

// The takings of some days, per operator and for all together.
struct Totals {
    double toppedUp = 0;      // money paid in: top-ups and the first payment of new members
    double moneyCharged = 0;  // money taken from balances by swipes
    double visitsCharged = 0; // visits taken from count cards by swipes
    double pointsRedeemed = 0;
    int newMembers = 0;
    int cancelledMembers = 0;
    void add(const QStringList& entry);
    bool operator==(const Totals&) const = default;
};
struct DayTotals {
    std::map<QString, Totals> perOperator;
    Totals all;
};
// Totals of the days from..to (inclusive), from the entries alone.
DayTotals totalsOf(RecordStore& store, const QDate& from, const QDate& to);

// What the shop owes its members now: the balances of the money cards and the visits left on
// the count cards, summed over the member table as it stands.
struct Liability {
    double balances = 0;
    double visits = 0;
    int members = 0;
};
// The member table must be current.
Liability liabilityNow(const RecordStore& store);

} // namespace quorvel::members::history
