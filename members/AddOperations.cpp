#include "members/AddOperations.h"

#include "members/History.h"
#include "members/MemberTable.h"
#include "store/RecordStore.h"
#include "text/Numbers.h"

namespace quorvel::members {

CardLookup lookUpCard(const QString& card) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    CardLookup lookup;
    lookup.count = store.recordCount();
    const int record = store.goToFirst(kFieldCard, card);
    if (record < 1 || record > lookup.count)
        return lookup;
    RecognisedMember m;
    m.record = record;
    m.name = store.readField(kFieldName);
    m.phone = store.readField(kFieldPhone);
    m.type = store.readField(kFieldType);
    m.gender = store.readField(kFieldGender);
    m.points = store.readField(kFieldPoints);
    m.listCells = addListCells(store);
    lookup.member = std::move(m);
    return lookup;
}

int findMemberByCard(const QString& card) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    const int record = store.findFirst(kFieldCard, card);
    return record <= store.recordCount() ? record : 0;
}

namespace {
QString sum(const QString& stored, const QString& typed) {
    return numberToText(addAmounts(textToNumber(stored), textToNumber(typed)));
}
} // namespace

TopUpResult applyTopUp(int record, const QString& card, const QString& cardType, const QString& visits,
                       const QString& amount) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (!store.goToRecord(record) || store.readField(kFieldCard) != card)
        return TopUpResult::CardChanged;
    if (!history::attachHistory())
        return TopUpResult::WriteFailed;
    const QString points = sum(store.readField(kFieldPoints), amount);
    const history::MemberValues before = history::currentValues(store);
    RecordStore::Transaction transaction(store);
    if (!transaction.isActive())
        return TopUpResult::WriteFailed;
    bool written = false;
    if (cardType != kCountCard)
        written = store.modifyField(PosBalance, sum(store.readField(kFieldBalance), amount)) &&
                  store.modifyField(PosPoints, points);
    else
        written = store.modifyField(PosVisits, sum(store.readField(kFieldVisits), visits)) &&
                  store.modifyField(PosPoints, points);
    written = written && history::appendEntry(history::kTopUp, history::amountText(amount), before,
                                              history::currentValues(store));
    if (!written || !transaction.commit())
        return TopUpResult::WriteFailed;
    return TopUpResult::Applied;
}

RedeemResult redeemMemberPoints(int record, const QString& card, const QString& points) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (!store.goToRecord(record) || store.readField(kFieldCard) != card)
        return RedeemResult::CardChanged;
    const double wanted = textToNumber(points);
    if (wanted < -kTolerance)
        return RedeemResult::NegativePoints;
    if (wanted <= kTolerance)
        return RedeemResult::Redeemed;
    const double held = textToNumber(store.readField(kFieldPoints));
    const double left = addAmounts(held, -wanted);
    if (left < -kTolerance)
        return RedeemResult::NotEnoughPoints;
    if (!history::attachHistory())
        return RedeemResult::WriteFailed;
    const history::MemberValues before = history::currentValues(store);
    RecordStore::Transaction transaction(store);
    if (!transaction.isActive() || !store.modifyField(PosPoints, numberToText(left)) ||
        !history::appendEntry(history::kRedemption, numberToText(wanted), before,
                              history::currentValues(store)) ||
        !transaction.commit())
        return RedeemResult::WriteFailed;
    return RedeemResult::Redeemed;
}

bool writeNewMemberRecord(const NewMember& m) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (!history::attachHistory())
        return false;
    RecordStore::Transaction transaction(store);
    if (!transaction.isActive() || !store.addBlankRecord())
        return false;
    bool ok = store.writeField(kFieldId, QStringLiteral("0")) && store.writeField(kFieldCard, m.card) &&
              store.writeField(kFieldName, m.name) && store.writeField(kFieldGender, m.gender) &&
              store.writeField(kFieldPhone, m.phone) && store.writeField(kFieldType, m.type) &&
              store.writeField(kFieldVisits, m.visits);
    if (ok && m.type != kCountCard)
        ok = store.writeField(kFieldBalance, m.amount);
    ok = ok && store.writeField(kFieldOperator, m.operatorName) && store.writeField(kFieldPoints, m.amount) &&
         store.writeField(kFieldSignUp, m.signUp);
    if (ok) {
        const history::MemberValues after = history::currentValues(store);
        ok = history::appendEntry(history::kNewMember, history::amountText(m.amount),
                                  {after.card, after.name, {}, {}, {}}, after);
    }
    return ok && transaction.commit();
}

QString newMemberSummary(const NewMember& m) {
    return QStringLiteral("会员卡号：") + m.card + QStringLiteral("\r\n会员姓名：") + m.name +
           QStringLiteral("\r\n会员电话号：") + m.phone + QStringLiteral("\r\n会员卡类型：") + m.type +
           QStringLiteral("\r\n新会员已添加完成，请到刷卡界面查看");
}

} // namespace quorvel::members
