#pragma once
// What the modification and the cancellation windows share: the operator's password check,
// the add page's required boxes, and the new member written instead of a changed one.
#include "members/AddOperations.h"
#include "members/MemberTable.h"

#include <QString>

class QDialog;
class QLineEdit;
class QWidget;

namespace Ui {
class AddPage;
}

namespace quorvel {

class AddPage;

namespace members {

// Field names of the operator table "gly.dat" (the shell creates and owns that table).
namespace operatorFields {
inline const QString kId = QStringLiteral("ID");
inline const QString kName = QStringLiteral("管理员名称");
inline const QString kPassword = QStringLiteral("管理员密码");
inline const QString kRight = QStringLiteral("管理员权限");
} // namespace operatorFields
// The operator table's field list, as the shell creates it; a file of other fields is refused.
QList<FieldDef> operatorFieldList();
// GBK bytes of an operator's name or password.
inline constexpr int kOperatorTextLength = 50;

inline const QString kMismatchQuestion = QStringLiteral("存在不正当操作\r\n\r\n将更改为添加新顾客");

// The operator table made the current table (opened, replacing the current one, unless it
// already is current). No message; any thread.
OpenResult openOperatorTableQuietly();

// The logged-in operator's own record must hold password's text and the administrator
// right. True when confirmed; otherwise any message has been shown, and window is closed
// when the records hold no such operator.
bool confirmOperatorPassword(QDialog* window, QLineEdit* password);

enum class FieldChecks { WithoutCardType, WithCardType };
// The add page's required boxes; false (with the message shown) at the first blank one.
bool checkAddPageFields(QWidget* window, const Ui::AddPage& page, FieldChecks checks);

// Writes the add page's values as a new member record, all fields together, then empties the
// page. False, with the message shown on parent, when nothing could be written.
bool addMemberInstead(AddPage& page, QWidget* parent);

// The add page after a modification or a removal: emptied, back in new-member mode, without
// points, the focus in the card box, the modification and cancellation buttons off.
void resetAfterMemberChange(AddPage& page);

// The common start of both confirmations: the operator table, the password, the add page's
// boxes, then the member table. True when the member table is ready; otherwise the reason has
// been shown and window closed where the operation demands it.
bool confirmUpToMemberTable(QDialog* window, QLineEdit* password, AddPage& page, FieldChecks checks);

} // namespace members
} // namespace quorvel
