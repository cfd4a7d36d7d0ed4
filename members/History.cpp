#include "members/History.h"

#include "config/RunDirectory.h"
#include "members/MemberTable.h"
#include "members/Session.h"
#include "text/Gbk.h"
#include "text/Numbers.h"

#include <QFile>
#include <QMutex>

namespace quorvel::members::history {

namespace {

std::function<QDateTime()>& clock() {
    static std::function<QDateTime()> c;
    return c;
}

QMutex& clockMutex() {
    static QMutex m;
    return m;
}

QList<QStringList> historyIndexes() {
    // The window filters by card and by days and always shows the newest first.
    return {{kFieldTime}, {kFieldCard, kFieldTime}, {kFieldKind, kFieldTime}};
}

QStringList decode(std::span<const QByteArrayView> values) {
    QStringList out;
    out.reserve(qsizetype(values.size()));
    for (QByteArrayView v : values)
        out.append(fromGbk(v.toByteArray()));
    return out;
}

double number(const QStringList& entry, int column) {
    return textToNumber(entry.value(column));
}

} // namespace

QStringList kinds() {
    return {kTopUp, kSwipe, kRedemption, kNewMember, kNewMemberInstead, kModification, kCancellation};
}

QString historyPath() {
    return runPath(kHistoryFile);
}

QList<FieldDef> historyFields() {
    // Text lengths in GBK bytes: an operator's name has 50, a member's fields 30.
    return {
        {kFieldTime, TextField, 19},
        {kFieldOperator, TextField, 50},
        {kFieldCard, TextField, kFieldLength},
        {kFieldName, TextField, kFieldLength},
        {kFieldKind, TextField, 20},
        {kFieldAmount, TextField, kFieldLength},
        {kFieldVisitsBefore, TextField, kFieldLength},
        {kFieldVisitsAfter, TextField, kFieldLength},
        {kFieldBalanceBefore, TextField, kFieldLength},
        {kFieldBalanceAfter, TextField, kFieldLength},
        {kFieldPointsBefore, TextField, kFieldLength},
        {kFieldPointsAfter, TextField, kFieldLength},
    };
}

bool attachHistory() {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    // Never beside another table: the entries belong with the members.
    if (store.currentFile().compare(memberTablePath(), Qt::CaseInsensitive) != 0)
        return false;
    return store.attachCompanion(historyPath(), historyFields(), historyIndexes());
}

MemberValues currentValues(const RecordStore& store) {
    return {store.readField(kFieldCard), store.readField(members::kFieldName), store.readField(kFieldVisits),
            store.readField(kFieldBalance), store.readField(kFieldPoints)};
}

void setClockForTesting(std::function<QDateTime()> c) {
    QMutexLocker lock(&clockMutex());
    clock() = std::move(c);
}

QDateTime now() {
    QMutexLocker lock(&clockMutex());
    return clock() ? clock()() : QDateTime::currentDateTime();
}

QString amountText(const QString& typed) {
    return typed.isEmpty() ? QString() : numberToText(textToNumber(typed));
}

bool appendEntry(const QString& kind, const QString& amount, const MemberValues& before,
                 const MemberValues& after) {
    const MemberValues& who = after.card.isEmpty() && after.name.isEmpty() ? before : after;
    return RecordStore::instance().appendCompanionRecord({
        now().toString(kTimeFormat),
        loggedInOperator(),
        who.card,
        who.name,
        kind,
        amount,
        before.visits,
        after.visits,
        before.balance,
        after.balance,
        before.points,
        after.points,
    });
}

// --- reading ---------------------------------------------------------------------------------

QList<RecordStore::Condition> conditions(const Filter& filter) {
    using C = RecordStore::Condition;
    QList<C> where;
    if (!filter.card.isEmpty())
        where.append({kFieldCard, C::Equal, filter.card});
    if (!filter.kind.isEmpty())
        where.append({kFieldKind, C::Equal, filter.kind});
    if (filter.from)
        where.append({kFieldTime, C::AtLeast, QDateTime(*filter.from, QTime(0, 0)).toString(kTimeFormat)});
    if (filter.to)
        where.append({kFieldTime, C::AtMost, QDateTime(*filter.to, QTime(23, 59, 59)).toString(kTimeFormat)});
    return where;
}

QString accessFailureText(Access access) {
    switch (access) {
    case Access::MembersMissing:
        return kTableMissing;
    case Access::MembersDamaged:
    case Access::HistoryDamaged:
        return kTableDamaged;
    case Access::Ready:
    case Access::NoHistory:
        break;
    }
    return {};
}

Access withHistory(const std::function<void(RecordStore&)>& fn) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    switch (openMemberTableQuietly()) {
    case OpenResult::Missing:
        return Access::MembersMissing;
    case OpenResult::Damaged:
        return Access::MembersDamaged;
    case OpenResult::Ready:
        break;
    }
    if (!QFile::exists(historyPath()))
        return Access::NoHistory;
    if (!attachHistory())
        return Access::HistoryDamaged;
    fn(store);
    return Access::Ready;
}

qint64 countEntries(RecordStore& store, const Filter& filter) {
    return store.countCompanionRecords(conditions(filter));
}

QList<QStringList> readEntries(RecordStore& store, const Filter& filter, qint64 offset, qint64 limit) {
    QList<QStringList> out;
    store.readCompanionRecords(
        conditions(filter), kFieldTime, offset, limit,
        [&](int, std::span<const QByteArrayView> values) { out.append(decode(values)); });
    return out;
}

bool forEachEntry(RecordStore& store, const Filter& filter,
                  const std::function<void(const QStringList&)>& fn) {
    return store.readCompanionRecords(
        conditions(filter), kFieldTime, 0, -1,
        [&](int, std::span<const QByteArrayView> values) { fn(decode(values)); });
}

void Totals::add(const QStringList& entry) {
    const QString kind = entry.value(ColKind);
    if (kind == kTopUp) {
        toppedUp = addAmounts(toppedUp, number(entry, ColAmount));
    } else if (kind == kNewMember || kind == kNewMemberInstead) {
        toppedUp = addAmounts(toppedUp, number(entry, ColAmount));
        ++newMembers;
    } else if (kind == kSwipe) {
        // A swipe takes visits or money, as its before and after values show.
        moneyCharged = addAmounts(
            moneyCharged, addAmounts(number(entry, ColBalanceBefore), -number(entry, ColBalanceAfter)));
        visitsCharged = addAmounts(
            visitsCharged, addAmounts(number(entry, ColVisitsBefore), -number(entry, ColVisitsAfter)));
    } else if (kind == kRedemption) {
        pointsRedeemed = addAmounts(
            pointsRedeemed, addAmounts(number(entry, ColPointsBefore), -number(entry, ColPointsAfter)));
    } else if (kind == kCancellation) {
        ++cancelledMembers;
    }
}

DayTotals totalsOf(RecordStore& store, const QDate& from, const QDate& to) {
    DayTotals totals;
    Filter filter;
    filter.from = from;
    filter.to = to;
    forEachEntry(store, filter, [&](const QStringList& entry) {
        totals.perOperator[entry.value(ColOperator)].add(entry);
        totals.all.add(entry);
    });
    return totals;
}

Liability liabilityNow(const RecordStore& store) {
    Liability owed;
    const QList<FieldDef> fields = store.fields();
    auto position = [&](const QString& name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name == name)
                return i;
        return -1;
    };
    const int type = position(kFieldType), visits = position(kFieldVisits), balance = position(kFieldBalance);
    if (type < 0 || visits < 0 || balance < 0)
        return owed;
    const QByteArray countCard = toGbk(kCountCard);
    store.readRecords(1, store.recordCount(), [&](int, std::span<const QByteArrayView> values) {
        ++owed.members;
        // Only a count card is charged in visits; every other type spends its balance.
        if (values[type] == countCard)
            owed.visits = addAmounts(owed.visits, textToNumber(fromGbk(values[visits].toByteArray())));
        else
            owed.balances = addAmounts(owed.balances, textToNumber(fromGbk(values[balance].toByteArray())));
    });
    return owed;
}

} // namespace quorvel::members::history
