#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/UsersWindow.h"
#include "config/RunDirectory.h"
#include "store/RecordStore.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "ui_LoginWindow.h"
#include "ui_UsersLoginWindow.h"
#include "ui_UsersWindow.h"

#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

class TestUsers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void onlyAdministratorsLogIn_data();
    void onlyAdministratorsLogIn();
    void missingTable();
    void addEditRemove();
    void fieldsRefused_data();
    void fieldsRefused();
    void duplicateNameWarns();
    void lastAdministratorProtected();
    void seededPasswordWarning();
    void mainLoginSeesChanges();

private:
    UsersWindow* logIn(const QString& name, const QString& password);
    QStringList listedNames() const;

    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<UsersLoginWindow> m_login;
};

void TestUsers::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    m_boxes = std::make_unique<MessageBoxWatcher>();
    QVERIFY(makeOperatorTable(m_dir->file("gly.dat"), {{"店长", "boss"}, {"收银", "cash", false}}));
}

void TestUsers::cleanup() {
    m_login.reset();
    RecordStore::instance().closeAll();
    m_boxes.reset();
    setRunDirectory(QString());
    m_dir.reset();
}

UsersWindow* TestUsers::logIn(const QString& name, const QString& password) {
    m_login = std::make_unique<UsersLoginWindow>();
    m_login->show();
    auto& ui = m_login->ui();
    ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(name));
    ui.编辑框_登录密码->setText(password);
    m_login->checkLogin();
    return m_login->usersWindow();
}

QStringList TestUsers::listedNames() const {
    QStringList names;
    QTableWidget* list = m_login->usersWindow()->ui().列表框_管理员;
    for (int r = 0; r < list->rowCount(); ++r)
        names.append(list->item(r, 1)->text() + "/" + list->item(r, 2)->text());
    return names;
}

void TestUsers::onlyAdministratorsLogIn_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("administrator") << "店长" << "boss" << QString();
    QTest::newRow("no right") << "收银" << "cash" << "该管理员没有管理员权限，不能进行用户管理";
    QTest::newRow("wrong password") << "店长" << "x" << "密码不正确";
    QTest::newRow("no name") << "" << "boss" << "请选择管理员";
    QTest::newRow("no password") << "店长" << "" << "请输入密码";
}

void TestUsers::onlyAdministratorsLogIn() {
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    UsersWindow* users = logIn(name, password);
    if (message.isEmpty()) {
        QVERIFY(users);
        QVERIFY(users->isVisible());
        QVERIFY(m_boxes->seen().isEmpty());
        QCOMPARE(listedNames(), QStringList({"店长/有", "收银/无"}));
    } else {
        QVERIFY(!users);
        QCOMPARE(m_boxes->texts(), QStringList{message});
        QVERIFY(m_login->isVisible());
    }
}

void TestUsers::missingTable() {
    RecordStore::instance().closeAll();
    QVERIFY(QFile::remove(m_dir->file("gly.dat")));
    QVERIFY(!logIn("店长", "boss"));
    QCOMPARE(m_boxes->texts(), QStringList{"数据库文件已丢失"});
    QVERIFY(writeBytes(m_dir->file("gly.dat"), QByteArray(4096, 'x')));
    m_boxes->clear();
    m_login->checkLogin();
    QCOMPARE(m_boxes->texts(), QStringList{"数据库文件已损坏"});
    QCOMPARE(readBytes(m_dir->file("gly.dat")), QByteArray(4096, 'x'));
}

void TestUsers::addEditRemove() {
    UsersWindow* users = logIn("店长", "boss");
    QVERIFY(users);
    auto& ui = users->ui();
    ui.编辑框_管理员名称->setText("新人");
    ui.编辑框_管理员密码->setText("pw1");
    ui.编辑框_确认密码->setText("pw1");
    ui.选择框_管理员权限->setChecked(false);
    QTest::mouseClick(ui.按钮_添加管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), QStringList{"管理员添加成功"});
    QCOMPARE(listedNames(), QStringList({"店长/有", "收银/无", "新人/无"}));

    // Rename and promote, keeping the password (empty boxes).
    ui.列表框_管理员->selectRow(2);
    QCOMPARE(ui.编辑框_管理员名称->text(), QStringLiteral("新人"));
    ui.编辑框_管理员名称->setText("组长");
    ui.选择框_管理员权限->setChecked(true);
    m_boxes->clear();
    QTest::mouseClick(ui.按钮_修改管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), QStringList{"管理员信息修改成功"});
    QCOMPARE(listedNames(), QStringList({"店长/有", "收银/无", "组长/有"}));
    RecordStore& store = RecordStore::instance();
    QVERIFY(store.goToRecord(3));
    QCOMPARE(store.readField("管理员密码"), QStringLiteral("pw1"));

    // Change only the password of the cashier.
    ui.列表框_管理员->selectRow(1);
    ui.编辑框_管理员密码->setText("new");
    ui.编辑框_确认密码->setText("new");
    m_boxes->clear();
    QTest::mouseClick(ui.按钮_修改管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), QStringList{"管理员信息修改成功"});
    QVERIFY(store.goToRecord(2));
    QCOMPARE(store.readField("管理员密码"), QStringLiteral("new"));
    QVERIFY(!store.readFlag("管理员权限"));

    // Remove the cashier: the later record moves up.
    ui.列表框_管理员->selectRow(1);
    m_boxes->clear();
    m_boxes->queueAnswers({true});
    QTest::mouseClick(ui.按钮_删除管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), QStringList({"确定要删除管理员“收银”吗？", "管理员已删除"}));
    QCOMPARE(listedNames(), QStringList({"店长/有", "组长/有"}));
    QCOMPARE(store.recordCount(), 2);

    // Cancelling the question keeps the operator.
    ui.列表框_管理员->selectRow(1);
    m_boxes->clear();
    m_boxes->queueAnswers({false});
    QTest::mouseClick(ui.按钮_删除管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->seen().size(), 1);
    QCOMPARE(listedNames(), QStringList({"店长/有", "组长/有"}));

    // Every change is on disk at once.
    store.closeAll();
    QVERIFY(store.openTable(m_dir->file("gly.dat"), kTablePassword));
    QCOMPARE(store.recordCount(), 2);
}

void TestUsers::fieldsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("again");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank name") << "  　" << "a" << "a" << "管理员名称不能为空！";
    QTest::newRow("long name") << QString(26, QChar(0x5F20)) << "a" << "a" << "管理员名称不能超过50个字节（25个汉字）";
    QTest::newRow("blank password") << "甲" << "" << "" << "密码不能为空！";
    QTest::newRow("long password") << "甲" << QString(51, 'p') << QString(51, 'p') << "密码不能超过50个字节";
    QTest::newRow("mismatch") << "甲" << "abc" << "abd" << "两次输入的密码不一致";
    QTest::newRow("not gbk") << QStringLiteral("店\U0001F600") << "a" << "a" << "管理员名称含有不能保存的字符";
}

void TestUsers::fieldsRefused() {
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, again);
    QFETCH(QString, message);
    UsersWindow* users = logIn("店长", "boss");
    QVERIFY(users);
    auto& ui = users->ui();
    // The boxes cap typing at 50 characters; longer texts reach the checks only when pasted
    // in bulk, so set them past the boxes' own limit.
    ui.编辑框_管理员名称->setMaxLength(100);
    ui.编辑框_管理员密码->setMaxLength(100);
    ui.编辑框_确认密码->setMaxLength(100);
    ui.编辑框_管理员名称->setText(name);
    ui.编辑框_管理员密码->setText(password);
    ui.编辑框_确认密码->setText(again);
    QTest::mouseClick(ui.按钮_添加管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), QStringList{message});
    QCOMPARE(RecordStore::instance().recordCount(), 2);
}

void TestUsers::duplicateNameWarns() {
    UsersWindow* users = logIn("店长", "boss");
    QVERIFY(users);
    auto& ui = users->ui();
    ui.编辑框_管理员名称->setText("收银");
    ui.编辑框_管理员密码->setText("b");
    ui.编辑框_确认密码->setText("b");
    m_boxes->queueAnswers({false});
    QTest::mouseClick(ui.按钮_添加管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->seen().size(), 1);
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::Warning);
    QCOMPARE(RecordStore::instance().recordCount(), 2);
    m_boxes->clear();
    m_boxes->queueAnswers({true});
    QTest::mouseClick(ui.按钮_添加管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->seen().size(), 2);
    QCOMPARE(listedNames(), QStringList({"店长/有", "收银/无", "收银/无"}));
}

void TestUsers::lastAdministratorProtected() {
    UsersWindow* users = logIn("店长", "boss");
    QVERIFY(users);
    auto& ui = users->ui();
    ui.列表框_管理员->selectRow(0);
    ui.选择框_管理员权限->setChecked(false);
    QTest::mouseClick(ui.按钮_修改管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(),
             QStringList{"至少要保留一位拥有管理员权限的管理员，不能取消最后一位管理员的权限"});
    ui.列表框_管理员->selectRow(0);
    m_boxes->clear();
    QTest::mouseClick(ui.按钮_删除管理员, Qt::LeftButton);
    QCOMPARE(m_boxes->texts(), QStringList{"至少要保留一位拥有管理员权限的管理员，不能删除最后一位管理员"});
    QCOMPARE(listedNames(), QStringList({"店长/有", "收银/无"}));
    // With a second administrator, the first may be demoted.
    ui.列表框_管理员->selectRow(1);
    ui.选择框_管理员权限->setChecked(true);
    m_boxes->clear();
    QTest::mouseClick(ui.按钮_修改管理员, Qt::LeftButton);
    ui.列表框_管理员->selectRow(0);
    ui.选择框_管理员权限->setChecked(false);
    QTest::mouseClick(ui.按钮_修改管理员, Qt::LeftButton);
    QCOMPARE(listedNames(), QStringList({"店长/无", "收银/有"}));
}

void TestUsers::seededPasswordWarning() {
    RecordStore::instance().closeAll();
    QFile::remove(m_dir->file("gly.dat"));
    QVERIFY(makeOperatorTable(m_dir->file("gly.dat"), {{"QELV软件", "907153"}}));
    m_boxes->queueAnswers({true});
    UsersWindow* users = logIn("QELV软件", "907153");
    QVERIFY(users);
    QCOMPARE(m_boxes->seen().size(), 1);
    QVERIFY(m_boxes->seen()[0].text.contains("请立即修改密码"));
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::Warning);
    auto& ui = users->ui();
    QCOMPARE(ui.编辑框_管理员名称->text(), QStringLiteral("QELV软件"));
    ui.编辑框_管理员密码->setText("s3cret");
    ui.编辑框_确认密码->setText("s3cret");
    QTest::mouseClick(ui.按钮_修改管理员, Qt::LeftButton);
    RecordStore& store = RecordStore::instance();
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField("管理员密码"), QStringLiteral("s3cret"));
    // Once changed, a new login is not warned again.
    m_login.reset();
    m_boxes->clear();
    QVERIFY(logIn("QELV软件", "s3cret"));
    QVERIFY(m_boxes->seen().isEmpty());
}

void TestUsers::mainLoginSeesChanges() {
    UsersWindow* users = logIn("店长", "boss");
    QVERIFY(users);
    auto& ui = users->ui();
    ui.编辑框_管理员名称->setText("新人");
    ui.编辑框_管理员密码->setText("pw");
    ui.编辑框_确认密码->setText("pw");
    QTest::mouseClick(ui.按钮_添加管理员, Qt::LeftButton);
    ui.列表框_管理员->selectRow(1);
    m_boxes->queueAnswers({true, true});
    QTest::mouseClick(ui.按钮_删除管理员, Qt::LeftButton);
    users->close();
    m_boxes->clear();

    Application app;
    app.start();
    LoginWindow* login = app.loginWindow();
    QVERIFY(login);
    QComboBox* combo = login->ui().组合框_用户名;
    QTest::mousePress(combo, Qt::LeftButton);
    combo->hidePopup();
    QCOMPARE(combo->count(), 2);
    combo->setCurrentIndex(combo->findText("新人"));
    login->ui().编辑框_登录密码->setText("pw");
    login->checkLogin();
    QVERIFY(app.mainWindow());
    app.mainWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The removed cashier is refused even when the name is still offered.
    combo->addItem("收银");
    combo->setCurrentIndex(combo->findText("收银"));
    login->ui().编辑框_登录密码->setText("cash");
    login->checkLogin();
    QVERIFY(!app.mainWindow());
    QCOMPARE(m_boxes->texts().size(), 1);
    QVERIFY(m_boxes->texts()[0].startsWith("管理员名称与密码错误"));
}

QTEST_MAIN(TestUsers)
#include "TestUsers.moc"
