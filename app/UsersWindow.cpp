#include "app/UsersWindow.h"

#include "config/Dialogs.h"
#include "members/InputFilters.h"
#include "store/RecordStore.h"
#include "text/Gbk.h"
#include "text/Numbers.h"
#include "ui_UsersLoginWindow.h"
#include "ui_UsersWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>

namespace quorvel {

namespace {

constexpr int kMaxBytes = 50;

const QString kUnknownOperator = QStringLiteral(
    "管理员名称与密码错误\r\n\r\n     请重新输入！！！\r\n\r\n或者联系超级管理员添加新管理员");
const QString kWriteFailed = QStringLiteral("数据库写入失败，本次操作未保存");
const QString kKeepOneAdministrator = QStringLiteral("至少要保留一位拥有管理员权限的管理员");

} // namespace

// ---- login ----

UsersLoginWindow::UsersLoginWindow() : m_ui(std::make_unique<Ui::UsersLoginWindow>()) {
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.svg")));
    connect(m_ui->按钮_登陆, &QPushButton::clicked, this, [this] { checkLogin(); });
    connect(m_ui->编辑框_登录密码, &QLineEdit::returnPressed, this, [this] { checkLogin(); });
    input::limitGbkBytes(m_ui->编辑框_登录密码, kMaxBytes);
    connect(m_ui->按钮_退出, &QPushButton::clicked, this, [this] { close(); });
    connect(m_ui->组合框_用户名, qOverload<int>(&QComboBox::activated), this,
            [this](int) { m_ui->编辑框_登录密码->setFocus(); });
    reloadOperatorList();
}

UsersLoginWindow::~UsersLoginWindow() = default;

bool UsersLoginWindow::openTable() {
    RecordStore& store = RecordStore::instance();
    const QString path = operators::tablePath();
    if (!QFile::exists(path)) {
        showMessage(this, QStringLiteral("数据库文件已丢失"));
        return false;
    }
    if (store.isOpen(path) && store.currentFile().compare(path, Qt::CaseInsensitive) == 0)
        return true;
    store.closeAll();
    if (!store.openReplacingCurrent(path, kTablePassword, operators::fieldList())) {
        showMessage(this, QStringLiteral("数据库文件已损坏"));
        return false;
    }
    return true;
}

void UsersLoginWindow::reloadOperatorList() {
    RecordStore& store = RecordStore::instance();
    const QString path = operators::tablePath();
    m_ui->组合框_用户名->clear();
    if (!QFile::exists(path))
        return;
    if (!store.isOpen(path) && !store.openReplacingCurrent(path, kTablePassword, operators::fieldList()))
        return;
    for (const operators::Operator& op : operators::readAll(store))
        m_ui->组合框_用户名->addItem(op.name);
    m_ui->组合框_用户名->setCurrentIndex(-1);
}

void UsersLoginWindow::checkLogin() {
    if (!openTable())
        return;
    const QString name = m_ui->组合框_用户名->currentText();
    const QString password = m_ui->编辑框_登录密码->text();
    if (name.isEmpty()) {
        showMessage(this, QStringLiteral("请选择管理员"), MessageIcon::Question);
        return;
    }
    if (password.isEmpty()) {
        m_ui->编辑框_登录密码->setFocus();
        showMessage(this, QStringLiteral("请输入密码"), MessageIcon::Error);
        return;
    }
    const operators::CredentialCheck check = operators::checkCredentials(RecordStore::instance(), name, password);
    switch (check.outcome) {
    case operators::Credential::UnknownName:
        showMessage(this, kUnknownOperator, MessageIcon::Error);
        m_ui->组合框_用户名->setCurrentIndex(-1);
        m_ui->编辑框_登录密码->clear();
        return;
    case operators::Credential::WrongPassword:
        showMessage(this, QStringLiteral("密码不正确"), MessageIcon::Error);
        m_ui->编辑框_登录密码->clear();
        m_ui->编辑框_登录密码->setFocus();
        return;
    case operators::Credential::Accepted:
        break;
    }
    if (!check.op.administrator) {
        showMessage(this, QStringLiteral("该管理员没有管理员权限，不能进行用户管理"), MessageIcon::Error);
        m_ui->编辑框_登录密码->clear();
        return;
    }
    m_ui->编辑框_登录密码->clear();
    hide();
    m_users = std::make_unique<UsersWindow>(check.op.name);
    connect(m_users.get(), &UsersWindow::closed, this, [this] {
        RecordStore::instance().closeAll();
        emit finished();
    });
    m_users->show();
    if (check.op.name == operators::kSeedName && check.op.password == operators::kSeedPassword)
        m_users->offerSeedPasswordChange();
}

void UsersLoginWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!m_users || !m_users->isVisible()) {
        RecordStore::instance().closeAll();
        emit finished();
    }
}

// ---- management ----

UsersWindow::UsersWindow(const QString& administrator)
    : m_ui(std::make_unique<Ui::UsersWindow>()), m_administrator(administrator) {
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.svg")));
    QTableWidget* list = m_ui->列表框_管理员;
    list->setColumnCount(3);
    list->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("管理员名称"), QStringLiteral("管理员权限")});
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->setColumnWidth(0, 44);
    list->setColumnWidth(1, 150);
    list->horizontalHeader()->setStretchLastSection(true);
    // The cap is in GBK bytes, refused as typed; the checks on saving stay for text set otherwise.
    for (QLineEdit* box : {m_ui->编辑框_管理员名称, m_ui->编辑框_管理员密码, m_ui->编辑框_确认密码})
        input::limitGbkBytes(box, kMaxBytes);
    connect(list, &QTableWidget::itemSelectionChanged, this, [this] { showSelected(); });
    connect(m_ui->按钮_添加管理员, &QPushButton::clicked, this, [this] { addOperator(); });
    connect(m_ui->按钮_修改管理员, &QPushButton::clicked, this, [this] { modifyOperator(); });
    connect(m_ui->按钮_删除管理员, &QPushButton::clicked, this, [this] { removeOperator(); });
    connect(m_ui->按钮_关闭, &QPushButton::clicked, this, [this] { close(); });
    m_ui->标签_当前管理员->setText(QStringLiteral("当前登录：") + administrator);
    reload();
}

UsersWindow::~UsersWindow() = default;

void UsersWindow::reload() {
    RecordStore& store = RecordStore::instance();
    m_operators = operators::readAll(store);
    QTableWidget* list = m_ui->列表框_管理员;
    list->setRowCount(int(m_operators.size()));
    for (int i = 0; i < m_operators.size(); ++i) {
        list->setItem(i, 0, new QTableWidgetItem(QString::number(i + 1)));
        list->setItem(i, 1, new QTableWidgetItem(m_operators[i].name));
        list->setItem(i, 2, new QTableWidgetItem(m_operators[i].administrator ? QStringLiteral("有") : QStringLiteral("无")));
    }
}

int UsersWindow::selectedRecord() const {
    const QList<QTableWidgetItem*> items = m_ui->列表框_管理员->selectedItems();
    return items.isEmpty() ? 0 : items.first()->row() + 1;
}

void UsersWindow::showSelected() {
    const int record = selectedRecord();
    if (record < 1 || record > m_operators.size())
        return;
    m_ui->编辑框_管理员名称->setText(m_operators[record - 1].name);
    m_ui->选择框_管理员权限->setChecked(m_operators[record - 1].administrator);
    m_ui->编辑框_管理员密码->clear();
    m_ui->编辑框_确认密码->clear();
}

bool UsersWindow::validName(const QString& name) {
    if (isBlank(name)) {
        showMessage(this, QStringLiteral("管理员名称不能为空！"), MessageIcon::Error);
        return false;
    }
    if (!canEncodeGbk(name)) {
        showMessage(this, QStringLiteral("管理员名称含有不能保存的字符"), MessageIcon::Error);
        return false;
    }
    if (gbkLength(name) > kMaxBytes) {
        showMessage(this, QStringLiteral("管理员名称不能超过50个字节（25个汉字）"), MessageIcon::Error);
        return false;
    }
    return true;
}

bool UsersWindow::validNewPassword(const QString& password, const QString& again, bool required) {
    if (password.isEmpty() && again.isEmpty() && !required)
        return true;
    if (isBlank(password)) {
        showMessage(this, QStringLiteral("密码不能为空！"), MessageIcon::Error);
        return false;
    }
    if (!canEncodeGbk(password)) {
        showMessage(this, QStringLiteral("密码含有不能保存的字符"), MessageIcon::Error);
        return false;
    }
    if (gbkLength(password) > kMaxBytes) {
        showMessage(this, QStringLiteral("密码不能超过50个字节"), MessageIcon::Error);
        return false;
    }
    if (password != again) {
        showMessage(this, QStringLiteral("两次输入的密码不一致"), MessageIcon::Error);
        return false;
    }
    return true;
}

bool UsersWindow::confirmDuplicateName(const QString& name, int exceptRecord) {
    for (int i = 0; i < m_operators.size(); ++i) {
        if (i + 1 != exceptRecord && m_operators[i].name == name) {
            return askOkCancel(this,
                               QStringLiteral("已有同名的管理员“%1”，登录时只核对第一个同名的管理员。\r\n"
                                              "确定仍要使用这个名称吗？")
                                   .arg(name),
                               MessageIcon::Warning);
        }
    }
    return true;
}

bool UsersWindow::changeRecord(int record, const QString& name, const QString* password, bool administrator) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Transaction tx(store);
    bool ok = record == 0 ? store.addBlankRecord() : store.goToRecord(record);
    ok = ok && store.writeField(operators::kFieldName, name);
    if (password)
        ok = ok && store.writeField(operators::kFieldPassword, *password);
    ok = ok && store.writeFlag(operators::kFieldRight, administrator) && tx.commit();
    if (!ok) {
        tx.rollback();
        showMessage(this, kWriteFailed, MessageIcon::Error);
    }
    return ok;
}

void UsersWindow::addOperator() {
    const QString name = m_ui->编辑框_管理员名称->text();
    const QString password = m_ui->编辑框_管理员密码->text();
    if (!validName(name) || !validNewPassword(password, m_ui->编辑框_确认密码->text(), true))
        return;
    if (!confirmDuplicateName(name, 0))
        return;
    if (!changeRecord(0, name, &password, m_ui->选择框_管理员权限->isChecked()))
        return;
    reload();
    m_ui->编辑框_管理员密码->clear();
    m_ui->编辑框_确认密码->clear();
    showMessage(this, QStringLiteral("管理员添加成功"));
}

void UsersWindow::modifyOperator() {
    const int record = selectedRecord();
    if (record < 1 || record > m_operators.size()) {
        showMessage(this, QStringLiteral("请先在列表中选择一位管理员"), MessageIcon::Information);
        return;
    }
    const QString name = m_ui->编辑框_管理员名称->text();
    const QString password = m_ui->编辑框_管理员密码->text();
    const bool administrator = m_ui->选择框_管理员权限->isChecked();
    if (!validName(name) || !validNewPassword(password, m_ui->编辑框_确认密码->text(), false))
        return;
    if (!administrator && m_operators[record - 1].administrator && operators::administratorCount(m_operators) <= 1) {
        showMessage(this, kKeepOneAdministrator + QStringLiteral("，不能取消最后一位管理员的权限"), MessageIcon::Error);
        return;
    }
    if (name != m_operators[record - 1].name && !confirmDuplicateName(name, record))
        return;
    if (!changeRecord(record, name, password.isEmpty() ? nullptr : &password, administrator))
        return;
    if (m_operators[record - 1].name == m_administrator)
        m_administrator = name;
    reload();
    m_ui->列表框_管理员->selectRow(record - 1);
    showMessage(this, QStringLiteral("管理员信息修改成功"));
}

void UsersWindow::removeOperator() {
    const int record = selectedRecord();
    if (record < 1 || record > m_operators.size()) {
        showMessage(this, QStringLiteral("请先在列表中选择一位管理员"), MessageIcon::Information);
        return;
    }
    const operators::Operator& op = m_operators[record - 1];
    if (op.administrator && operators::administratorCount(m_operators) <= 1) {
        showMessage(this, kKeepOneAdministrator + QStringLiteral("，不能删除最后一位管理员"), MessageIcon::Error);
        return;
    }
    if (op.name == m_administrator) {
        showMessage(this, QStringLiteral("不能删除当前登录的管理员"), MessageIcon::Error);
        return;
    }
    if (!askOkCancel(this, QStringLiteral("确定要删除管理员“%1”吗？").arg(op.name), MessageIcon::Question))
        return;
    RecordStore& store = RecordStore::instance();
    {
        RecordStore::Transaction tx(store);
        if (!(store.goToRecord(record) && store.deleteRecord() && store.purgeDeleted() && tx.commit())) {
            tx.rollback();
            showMessage(this, kWriteFailed, MessageIcon::Error);
            reload();
            return;
        }
    }
    reload();
    m_ui->编辑框_管理员名称->clear();
    showMessage(this, QStringLiteral("管理员已删除"));
}

void UsersWindow::offerSeedPasswordChange() {
    if (!askOkCancel(this,
                     QStringLiteral("您正在使用初始管理员“QELV软件”和初始密码登录，任何人都能用它进入软件。\r\n"
                                    "请立即修改密码。\r\n立即修改点击【确定】否则点击【取消】"),
                     MessageIcon::Warning))
        return;
    for (int i = 0; i < m_operators.size(); ++i) {
        if (m_operators[i].name == operators::kSeedName) {
            m_ui->列表框_管理员->selectRow(i);
            break;
        }
    }
    m_ui->编辑框_管理员密码->setFocus();
}

void UsersWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace quorvel
