#pragma once
// The add page's record work, without widgets: recognising a card, a top-up, a new member.
// Each holds the store's lock across its go-to, reads and writes; writes are all-or-nothing.
// The member table must be open and current (openMemberTable / openMemberTableQuietly).
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvel::members {

// What the add page shows of a recognised member.
struct RecognisedMember {
    int record = 0;
    QString name;
    QString phone;
    QString type;
    QString gender;
    QString points;
    QStringList listCells; // columns 1..10 of the member list
};

struct CardLookup {
    int count = 0; // the table's record count
    std::optional<RecognisedMember> member;
};

// The first record, in record order, whose "会员卡号" equals card byte for byte.
CardLookup lookUpCard(const QString& card);

// First record number whose card number is card; 0 when none.
int findMemberByCard(const QString& card);

enum class TopUpResult { Applied, CardChanged, WriteFailed };

// Tops up record: a "次卡" (by the page's type text) gains visits, any other type gains the
// amount in "充值金额"; "累计积分" gains the amount either way. CardChanged, writing nothing,
// when the record is gone or holds another card number. Both fields in one transaction.
TopUpResult applyTopUp(int record, const QString& card, const QString& cardType, const QString& visits,
                       const QString& amount);

enum class RedeemResult { Redeemed, CardChanged, NotEnoughPoints, NegativePoints, WriteFailed };

// Takes the typed points from record's "累计积分" (nothing for an empty or zero text). Refused,
// writing nothing, when the record no longer holds card, when the member has fewer points,
// or for a negative number.
RedeemResult redeemMemberPoints(int record, const QString& card, const QString& points);

inline const QString kNotEnoughPointsText = QStringLiteral("会员积分不足 兑换失败");
inline const QString kNegativePointsText = QStringLiteral("兑换积分不能为负数");

// A new member as typed on the add page.
struct NewMember {
    QString card;
    QString name;
    QString gender;
    QString phone;
    QString type;
    QString visits;
    QString amount;
    QString operatorName;
    QString signUp;
};

// Appends the member in one transaction: either every field is written or no record is added.
// "充值金额" is written only for the money card types; "累计积分" holds the amount as typed.
bool writeNewMemberRecord(const NewMember& member);

// Shown after a member was added.
QString newMemberSummary(const NewMember& member);

inline const QString kWriteFailedText = QStringLiteral("数据库写入失败，本次操作未保存");

} // namespace quorvel::members
