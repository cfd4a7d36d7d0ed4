#include "members/CancelMemberWindow.h"

#include "config/Dialogs.h"
#include "members/AddPage.h"
#include "members/History.h"
#include "members/InputFilters.h"
#include "members/MemberConfirmation.h"
#include "members/MemberTable.h"
#include "members/Session.h"
#include "store/RecordStore.h"

#include "ui_AddPage.h"
#include "ui_CancelMemberWindow.h"

#include <optional>

namespace quorvel {

using namespace members;

CancelMemberWindow::CancelMemberWindow(AddPage& page)
    : QDialog(nullptr), m_ui(std::make_unique<Ui::CancelMemberWindow>()), m_page(page) {
    m_ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    // Enter in the password box is the confirmation itself, never a second click of a
    // default button.
    m_ui->按钮_确认注销->setAutoDefault(false);
    m_ui->按钮_确认注销->setDefault(false);
    connect(m_ui->按钮_确认注销, &QPushButton::clicked, this, &CancelMemberWindow::confirm);
    connect(m_ui->编辑框_验证密码, &QLineEdit::returnPressed, this, &CancelMemberWindow::confirm);
    // Compared with a stored password: GBK text of at most its length.
    input::limitGbkBytes(m_ui->编辑框_验证密码, kOperatorTextLength);
    m_ui->编辑框_验证密码->setFocus();
}

CancelMemberWindow::~CancelMemberWindow() = default;

void CancelMemberWindow::confirm() {
    if (m_confirming)
        return;
    m_confirming = true;
    confirmOnce();
    m_confirming = false;
}

void CancelMemberWindow::confirmOnce() {
    // The page as the last card check leaves it: the member, the boxes, the buttons.
    m_page.settleCardChecks();
    if (!confirmUpToMemberTable(this, m_ui->编辑框_验证密码, m_page, FieldChecks::WithCardType))
        return;
    Ui::AddPage& add = m_page.ui();
    RecordStore& store = RecordStore::instance();
    std::optional<RecordStore::Lock> lock(std::in_place, store);
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        lock.reset();
        showMessage(this, openFailureText(opened));
        if (opened == OpenResult::Missing)
            close();
        return;
    }
    // The recognised member, unless the card box no longer names it.
    const int record = currentMemberRecord();
    const bool sameMember = record > 0 && store.goToRecord(record) &&
                            store.readField(kFieldCard) == add.编辑框_入会卡号->text();
    if (sameMember) {
        bool removed = false;
        if (history::attachHistory()) {
            // Marked and purged together: the record is either still there or gone for good.
            const history::MemberValues before = history::currentValues(store);
            RecordStore::Transaction tx(store);
            removed = tx.isActive() && store.deleteRecord() && store.purgeDeleted() &&
                      history::appendEntry(history::kCancellation, QString(), before, {}) && tx.commit();
        }
        lock.reset();
        if (!removed) {
            showMessage(this, kWriteFailedText, MessageIcon::Error);
            return;
        }
        add.组合框_入类型->setEnabled(false);
        resetAfterMemberChange(m_page);
        showMessage(this, QStringLiteral("会员注销成功"));
        close();
    } else {
        lock.reset();
        if (askOkCancel(this, kMismatchQuestion, MessageIcon::Error)) {
            if (addMemberInstead(m_page, this))
                showMessage(this, QStringLiteral("会员添加成功"));
            close();
        } else {
            add.按钮_添加会员->setText(QStringLiteral("添加会员"));
            add.组合框_入类型->setEnabled(false);
            close();
        }
    }
    m_page.loadMemberListNow();
}

} // namespace quorvel
