#include "members/MemberConfirmation.h"

#include "config/Dialogs.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/History.h"
#include "members/Session.h"
#include "store/RecordStore.h"
#include "text/Numbers.h"

#include "ui_AddPage.h"

#include <QDialog>
#include <QFile>
#include <QLineEdit>

#include <optional>

namespace quorvel::members {

namespace {

const QString kEnterPassword = QStringLiteral("请输入密码");
const QString kWrongPassword = QStringLiteral("密码不正确");
const QString kUnknownOperator = QStringLiteral(
    "管理员名称与密码错误\r\n\r\n     请重新输入！！！\r\n\r\n或者联系超级管理员添加新管理员");

struct OperatorRecord {
    QString name;
    QString password;
    bool administrator = false;
};

} // namespace

QList<FieldDef> operatorFieldList() {
    return {{operatorFields::kId, TextField, kOperatorTextLength},
            {operatorFields::kName, TextField, kOperatorTextLength},
            {operatorFields::kPassword, TextField, kOperatorTextLength},
            {operatorFields::kRight, LogicalField, 0}};
}

OpenResult openOperatorTableQuietly() {
    const QString path = runPath(kOperatorTableFile);
    if (!QFile::exists(path))
        return OpenResult::Missing;
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (store.isOpen(path)) {
        if (store.currentFile().compare(path, Qt::CaseInsensitive) == 0)
            return OpenResult::Ready;
        // Open beside the current table: its records would not be the ones read. Start afresh.
        store.closeAll();
    }
    return store.openReplacingCurrent(path, kTablePassword, operatorFieldList()) ? OpenResult::Ready
                                                                                  : OpenResult::Damaged;
}

bool confirmOperatorPassword(QDialog* window, QLineEdit* password) {
    if (password->text().isEmpty()) {
        password->setFocus();
        showMessage(window, kEnterPassword, MessageIcon::Error);
        return false;
    }
    // Read every operator under one hold; the comparisons and messages come afterwards.
    QList<OperatorRecord> records;
    {
        RecordStore& store = RecordStore::instance();
        std::optional<RecordStore::Lock> lock(std::in_place, store);
        const OpenResult opened = openOperatorTableQuietly();
        if (opened != OpenResult::Ready) {
            lock.reset();
            showMessage(window, openFailureText(opened));
            return false;
        }
        const int count = store.recordCount();
        for (int i = 1; i <= count; ++i) {
            if (!store.goToRecord(i))
                break;
            records.append({store.readField(operatorFields::kName), store.readField(operatorFields::kPassword),
                            store.readFlag(operatorFields::kRight)});
        }
    }
    if (records.isEmpty())
        return false;

    const QString me = loggedInOperator();
    const QString typed = password->text();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const OperatorRecord& r = records[i];
        if (r.name == me) {
            if (r.password != typed) {
                showMessage(window, kWrongPassword, MessageIcon::Error);
                password->clear();
                password->setFocus();
                return false;
            }
            if (r.administrator)
                return true;
            // The right password without the right: a later record of the same name may hold it.
            continue;
        }
        if (i == records.size() - 1) {
            showMessage(window, kUnknownOperator, MessageIcon::Error);
            window->close();
            return false;
        }
    }
    return false;
}

bool checkAddPageFields(QWidget* window, const Ui::AddPage& page, FieldChecks checks) {
    struct Required {
        QString text;
        QString message;
    };
    QList<Required> required = {
        {page.编辑框_入会卡号->text(), QStringLiteral("卡号不能为空！")},
        {page.编辑框_入名称->text(), QStringLiteral("名称不能为空！")},
        {page.编辑框_入手机号->text(), QStringLiteral("电话号不能为空！")},
    };
    if (checks == FieldChecks::WithCardType)
        required.append({page.组合框_入类型->currentText(), QStringLiteral("卡类型不能为空！")});
    for (const Required& r : required) {
        if (isBlank(r.text)) {
            showMessage(window, r.message, MessageIcon::Error);
            return false;
        }
    }
    return true;
}

bool addMemberInstead(AddPage& page, QWidget* parent) {
    Ui::AddPage& ui = page.ui();
    ui.按钮_添加会员->setText(QStringLiteral("添加会员"));
    ui.组合框_入类型->setEnabled(true);

    RecordStore& store = RecordStore::instance();
    bool written = false;
    {
        std::optional<RecordStore::Lock> lock(std::in_place, store);
        const OpenResult opened = openMemberTableQuietly();
        if (opened != OpenResult::Ready) {
            lock.reset();
            showMessage(parent, openFailureText(opened));
            return false;
        }
        const QString amount = ui.编辑框_入金额->text();
        const QList<std::pair<QString, QString>> values = {
            {kFieldId, QStringLiteral("0")},
            {kFieldCard, ui.编辑框_入会卡号->text()},
            {kFieldName, ui.编辑框_入名称->text()},
            {kFieldGender, ui.组合框_入性别->currentText()},
            {kFieldPhone, ui.编辑框_入手机号->text()},
            {kFieldType, ui.组合框_入类型->currentText()},
            {kFieldVisits, ui.编辑框_充值次数->text()},
            {kFieldBalance, amount},
            {kFieldOperator, loggedInOperator()},
            {kFieldPoints, amount},
            {kFieldSignUp, ui.编辑框_入时间->text()},
        };
        if (history::attachHistory()) {
            RecordStore::Transaction tx(store);
            written = tx.isActive() && store.addBlankRecord();
            for (const auto& [field, value] : values)
                written = written && store.writeField(field, value);
            if (written) {
                const history::MemberValues after = history::currentValues(store);
                written = history::appendEntry(history::kNewMemberInstead, history::amountText(amount),
                                               {after.card, after.name, {}, {}, {}}, after);
            }
            written = written && tx.commit();
        }
    }
    if (!written) {
        showMessage(parent, kWriteFailedText, MessageIcon::Error);
        return false;
    }
    page.resetAddPage();
    ui.编辑框_入会卡号->setFocus();
    return true;
}

void resetAfterMemberChange(AddPage& page) {
    Ui::AddPage& ui = page.ui();
    page.resetAddPage();
    ui.按钮_添加会员->setText(QStringLiteral("添加会员"));
    ui.透明标签_积分->clear();
    ui.编辑框_入会卡号->setFocus();
    ui.按钮_会员信息修改->setEnabled(false);
    ui.按钮_注销会员->setEnabled(false);
}

bool confirmUpToMemberTable(QDialog* window, QLineEdit* password, AddPage& page, FieldChecks checks) {
    const OpenResult operators = openOperatorTableQuietly();
    if (operators != OpenResult::Ready) {
        showMessage(window, openFailureText(operators));
        return false;
    }
    if (!confirmOperatorPassword(window, password))
        return false;
    if (!checkAddPageFields(window, page.ui(), checks))
        return false;
    const OpenResult members = openMemberTableQuietly();
    if (members == OpenResult::Missing) {
        showMessage(window, openFailureText(members));
        window->close();
        return false;
    }
    if (members == OpenResult::Damaged) {
        showMessage(window, openFailureText(members));
        return false;
    }
    return true;
}

} // namespace quorvel::members
