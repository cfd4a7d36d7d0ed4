#pragma once
// The member table "thy.dat": twelve text fields of 30 GBK bytes each, one record per card.
#include "store/RecordStore.h"

#include <QList>
#include <QString>

class QWidget;

namespace quorvel::members {

inline const QString kFieldId = QStringLiteral("ID");
inline const QString kFieldCard = QStringLiteral("会员卡号");
inline const QString kFieldName = QStringLiteral("会员姓名");
inline const QString kFieldGender = QStringLiteral("性别");
inline const QString kFieldPhone = QStringLiteral("会员通讯");
inline const QString kFieldType = QStringLiteral("会员类型");
inline const QString kFieldVisits = QStringLiteral("充值次数");
inline const QString kFieldBalance = QStringLiteral("充值金额");
inline const QString kFieldOperator = QStringLiteral("操作员");
inline const QString kFieldPoints = QStringLiteral("累计积分");
inline const QString kFieldSignUp = QStringLiteral("注册时间");
inline const QString kFieldSwipes = QStringLiteral("刷卡次数");

// 1-based positions for modifyField.
enum FieldPosition {
    PosId = 1,
    PosCard,
    PosName,
    PosGender,
    PosPhone,
    PosType,
    PosVisits,
    PosBalance,
    PosOperator,
    PosPoints,
    PosSignUp,
    PosSwipes,
};

inline constexpr int kFieldLength = 30;

inline const QString kCountCard = QStringLiteral("次卡");
inline const QString kStoredValueCard = QStringLiteral("储蓄卡");
inline const QString kUnlimitedCard = QStringLiteral("无限卡");

inline const QString kTableMissing = QStringLiteral("数据库文件已丢失");
inline const QString kTableDamaged = QStringLiteral("数据库文件已损坏");

QString memberTablePath();
// The twelve field definitions, in field order.
QList<FieldDef> memberFields();

enum class OpenResult { Ready, Missing, Damaged };
// The open discipline of every member operation, without messages (any thread):
// missing file, or open it (replacing the current table) unless it is already open.
OpenResult openMemberTableQuietly();
// Right after the login: checks thy.dat on a pool thread, so that the first member operation's
// open finds it checked and does not read the whole file while the operator waits. Opens
// nothing; without the file it does nothing.
void checkMemberTableAhead();
// The message for a failed open; empty for Ready.
QString openFailureText(OpenResult result);
// The same on the GUI thread, showing "数据库文件已丢失" / "数据库文件已损坏" (plain) on failure.
bool openMemberTable(QWidget* parent);

enum class CreateOutcome { AlreadyExisted, ProgramEnds };
// The member-data initialisation button. An existing table is opened and left untouched.
// Otherwise the table is created and protected, the restart question is asked (OK starts the
// program again) and the caller must end the program.
CreateOutcome createMemberTable(QWidget* parent);

// The current record's values for a member list row, columns 1..10 of the add page's list
// ("操作员" in column 8) or of the swipe list ("刷卡次数" in column 8).
QStringList addListCells(const RecordStore& store);
QStringList swipeListCells(const RecordStore& store);

} // namespace quorvel::members
