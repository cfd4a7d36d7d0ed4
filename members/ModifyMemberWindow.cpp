#include "members/ModifyMemberWindow.h"

#include "config/Dialogs.h"
#include "members/AddPage.h"
#include "members/History.h"
#include "members/InputFilters.h"
#include "members/MemberConfirmation.h"
#include "members/MemberTable.h"
#include "members/Session.h"
#include "store/RecordStore.h"

#include "ui_AddPage.h"
#include "ui_ModifyMemberWindow.h"

#include <optional>

namespace quorvel {

using namespace members;

ModifyMemberWindow::ModifyMemberWindow(AddPage& page)
    : QDialog(nullptr), m_ui(std::make_unique<Ui::ModifyMemberWindow>()), m_page(page) {
    m_ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    // Enter in the password box is the confirmation itself, never a second click of a
    // default button.
    m_ui->按钮_确认修改->setAutoDefault(false);
    m_ui->按钮_确认修改->setDefault(false);
    connect(m_ui->按钮_确认修改, &QPushButton::clicked, this, &ModifyMemberWindow::confirm);
    connect(m_ui->编辑框_验证密码, &QLineEdit::returnPressed, this, &ModifyMemberWindow::confirm);
    // Compared with a stored password: GBK text of at most its length.
    input::limitGbkBytes(m_ui->编辑框_验证密码, kOperatorTextLength);
    m_ui->编辑框_验证密码->setFocus();
}

ModifyMemberWindow::~ModifyMemberWindow() = default;

void ModifyMemberWindow::confirm() {
    if (m_confirming)
        return;
    m_confirming = true;
    confirmOnce();
    m_confirming = false;
}

void ModifyMemberWindow::confirmOnce() {
    // The page as the last card check leaves it: the member, the boxes, the buttons.
    m_page.settleCardChecks();
    if (!confirmUpToMemberTable(this, m_ui->编辑框_验证密码, m_page, FieldChecks::WithoutCardType))
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
        bool written = false;
        if (history::attachHistory()) {
            const history::MemberValues before = history::currentValues(store);
            RecordStore::Transaction tx(store);
            written = tx.isActive() && store.modifyField(PosName, add.编辑框_入名称->text()) &&
                      store.modifyField(PosGender, add.组合框_入性别->currentText()) &&
                      store.modifyField(PosPhone, add.编辑框_入手机号->text()) &&
                      store.modifyField(PosType, add.组合框_入类型->currentText()) &&
                      store.modifyField(PosSignUp, add.编辑框_入时间->text()) &&
                      history::appendEntry(history::kModification, QString(), before,
                                           history::currentValues(store)) &&
                      tx.commit();
        }
        lock.reset();
        if (!written) {
            showMessage(this, kWriteFailedText, MessageIcon::Error);
            return;
        }
        add.组合框_入类型->setEnabled(false);
        resetAfterMemberChange(m_page);
        showMessage(this, QStringLiteral("会员信息修改成功"));
        close();
    } else {
        lock.reset();
        if (askOkCancel(this, kMismatchQuestion, MessageIcon::Error)) {
            close();
            addMemberInstead(m_page, nullptr);
        } else {
            close();
            add.按钮_添加会员->setText(QStringLiteral("添加会员"));
            add.组合框_入类型->setEnabled(false);
        }
    }
    m_page.loadMemberListNow();
}

} // namespace quorvel
