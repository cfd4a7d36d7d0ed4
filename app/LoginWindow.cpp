#include "app/LoginWindow.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/OperatorTable.h"
#include "config/Style.h"
#include "members/InputFilters.h"
#include "members/MemberConfirmation.h"
#include "config/Dialogs.h"
#include "config/Program.h"
#include "config/Settings.h"
#include "members/MemberTable.h"
#include "store/RecordStore.h"
#include "ui_LoginWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QMouseEvent>

namespace quorvel {

namespace {

const QString kFirstRunQuestion = QStringLiteral("第一次启动或者管理员数据库丢失新建初始数据库");
const QString kRestartQuestion = QStringLiteral(
    "管理员数据库初始化成功\r\n软件重新启动才能生效\r\n自动重启点击【确定】否则点击【取消】");
const QString kUnknownOperator = QStringLiteral(
    "管理员名称与密码错误\r\n\r\n     请重新输入！！！\r\n\r\n或者联系超级管理员添加新管理员");

} // namespace

LoginWindow::LoginWindow(Application& app) : m_app(app), m_ui(std::make_unique<Ui::LoginWindow>()) {
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.svg")));
    m_ui->组合框_用户名->installEventFilter(this);
    connect(m_ui->按钮登陆, &QPushButton::clicked, this, [this] { checkLogin(); });
    connect(m_ui->编辑框_登录密码, &QLineEdit::returnPressed, this, [this] { checkLogin(); });
    // Compared with a stored password: GBK text of at most its length.
    input::limitGbkBytes(m_ui->编辑框_登录密码, members::kOperatorTextLength);
    connect(m_ui->组合框_用户名, qOverload<int>(&QComboBox::activated), this,
            [this](int) { m_ui->编辑框_登录密码->setFocus(); });
    connect(m_ui->按钮退出, &QPushButton::clicked, this, [this] { m_app.destroyLoginWindow(); });
    connect(m_ui->按钮用户管理, &QPushButton::clicked, this,
            [] { program::startDetached(program::siblingExecutable(program::kUsersProgram)); });
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::prepareLoginWindow() {
    using namespace settings;
    QLabel* slogan = m_ui->透明标签_软件启动标语;
    slogan->setText(read(kSlogan));
    QFont font = slogan->font();
    font.setFamily(read(kSloganFontName));
    const int size = readInt(kSloganFontSize);
    if (size > 0)
        font.setPointSize(size);
    slogan->setFont(font);
    // A hand-edited colour too large for any integer reads as 0 instead of overflowing.
    setTextColour(slogan, readColour(kSloganColour));
    slogan->setAlignment(alignmentFromIndex(readInt(kSloganAlignment)));

    m_ui->图片框_启动背景->setPictureFile(read(kLoginPicture));
    m_ui->图片框_启动背景->setDisplayMode(readInt(kLoginPictureMode));

    RecordStore& store = RecordStore::instance();
    const QString path = operators::tablePath();
    if (QFile::exists(path)) {
        if (store.openTable(path, kTablePassword, operators::fieldList()) && store.recordCount() >= 1)
            reloadOperatorList();
    } else {
        createOperatorTable();
    }
}

void LoginWindow::reloadOperatorList() {
    RecordStore& store = RecordStore::instance();
    QStringList names;
    {
        RecordStore::Lock lock(store);
        const int n = store.recordCount();
        for (int i = 1; i <= n; ++i) {
            store.goToRecord(i);
            names.append(store.readField(operators::kFieldName));
        }
    }
    m_ui->组合框_用户名->clear();
    m_ui->组合框_用户名->addItems(names);
}

void LoginWindow::createOperatorTable() {
    if (!askOkCancel(this, kFirstRunQuestion, MessageIcon::Question)) {
        m_app.destroyLoginWindow();
        return;
    }
    RecordStore& store = RecordStore::instance();
    const QString path = operators::tablePath();
    if (!store.createTable(path, operators::fieldList()))
        return;

    bool ready = false;
    if (store.isEncrypted(path)) {
        ready = store.openTable(path, kTablePassword);
    } else if (store.openTable(path)) {
        ready = store.setPassword(kTablePassword);
        store.openTable(path, kTablePassword); // already open: keeps the table current
    }
    if (ready) {
        RecordStore::Transaction tx(store);
        ready = store.addBlankRecord() && store.writeField(operators::kFieldName, operators::kSeedName) &&
                store.writeField(operators::kFieldPassword, operators::kSeedPassword) &&
                store.writeFlag(operators::kFieldRight, true) && tx.commit();
    }
    if (!ready) {
        // A table that could not be protected or seeded would lock everybody out; remove it so
        // the next start offers to create it again.
        store.closeAll();
        QFile::remove(path);
        return;
    }
    if (askOkCancel(this, kRestartQuestion, MessageIcon::Question))
        program::startDetached(program::siblingExecutable(program::kMainProgram));
    m_app.destroyLoginWindow();
}

void LoginWindow::onOperatorComboPressed() {
    RecordStore& store = RecordStore::instance();
    store.closeAll();
    const QString path = operators::tablePath();
    if (QFile::exists(path) && store.openTable(path, kTablePassword, operators::fieldList()) &&
        store.recordCount() >= 1)
        reloadOperatorList();
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->组合框_用户名 && event->type() == QEvent::MouseButtonPress) {
        auto* e = static_cast<QMouseEvent*>(event);
        const auto held = e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
        if (e->button() == Qt::LeftButton && held == Qt::NoModifier)
            onOperatorComboPressed();
    }
    return QWidget::eventFilter(watched, event);
}

void LoginWindow::checkLogin() {
    RecordStore& store = RecordStore::instance();
    const QString path = operators::tablePath();
    if (!QFile::exists(path)) {
        showMessage(this, QStringLiteral("数据库文件已丢失"));
        return;
    }
    if (!store.isOpen(path)) {
        if (!store.openReplacingCurrent(path, kTablePassword, operators::fieldList())) {
            showMessage(this, QStringLiteral("数据库文件已损坏"));
            return;
        }
    } else if (store.currentFile().compare(path, Qt::CaseInsensitive) != 0) {
        // Open but not current: make it current again rather than read another table.
        store.closeAll();
        if (!store.openReplacingCurrent(path, kTablePassword, operators::fieldList())) {
            showMessage(this, QStringLiteral("数据库文件已损坏"));
            return;
        }
    }
    const int count = store.recordCount();
    for (int i = 1; i <= count; ++i) {
        const operators::Operator op = operators::readOperator(store, i);
        const QString chosen = m_ui->组合框_用户名->currentText();
        if (chosen.isEmpty()) {
            showMessage(this, QStringLiteral("请选择管理员"), MessageIcon::Question);
            return;
        }
        if (m_ui->编辑框_登录密码->text().isEmpty()) {
            m_ui->编辑框_登录密码->setFocus();
            showMessage(this, QStringLiteral("请输入密码"), MessageIcon::Error);
            return;
        }
        if (op.name == chosen) {
            if (op.password != m_ui->编辑框_登录密码->text()) {
                showMessage(this, QStringLiteral("密码不正确"), MessageIcon::Error);
                m_ui->编辑框_登录密码->clear();
                m_ui->编辑框_登录密码->setFocus();
                return;
            }
            hide();
            MainWindow* main = m_app.createMainWindow();
            m_ui->组合框_用户名->setCurrentIndex(-1);
            m_ui->编辑框_登录密码->clear();
            main->setLoggedInOperator(op.name);
            if (!op.administrator)
                main->restrictToolbar();
            main->show();
            members::checkMemberTableAhead();
            return;
        }
        if (i == count) {
            showMessage(this, kUnknownOperator, MessageIcon::Error);
            m_ui->组合框_用户名->setCurrentIndex(-1);
            m_ui->编辑框_登录密码->clear();
            return;
        }
    }
}

void LoginWindow::closeEvent(QCloseEvent* event) {
    // The title bar's close box destroys the login window, as the exit button does.
    event->ignore();
    m_app.destroyLoginWindow();
}

} // namespace quorvel
