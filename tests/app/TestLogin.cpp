#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "config/ConfigFile.h"
#include "config/Program.h"
#include "config/RunDirectory.h"
#include "members/Session.h"
#include "store/RecordStore.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "ui_AddPage.h"
#include "ui_LoginWindow.h"
#include "ui_MainWindow.h"
#include "ui_SwipePage.h"

#include "members/AddPage.h"
#include "members/SwipePage.h"

#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {
const QString kUnknown = QStringLiteral(
    "管理员名称与密码错误\r\n\r\n     请重新输入！！！\r\n\r\n或者联系超级管理员添加新管理员");
}

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstRunCreatesSeededTable();
    void firstRunCancelCreatesNothing();
    void loginFailures_data();
    void loginFailures();
    void missingAndDamagedTable();
    void emptyTableDoesNothing();
    void enterInPasswordLogsIn();
    void operatorWithoutRightIsRestricted();
    void comboPressReloadsOnlyWithoutModifiers();
    void layoutExample();
    void closingModes_data();
    void closingModes();
    void userManagementStartsSibling();

private:
    void startWith(const QList<OperatorRow>& rows);
    void chooseAndType(const QString& name, const QString& password);

    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<Application> m_app;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    QStringList m_started;
};

void TestLogin::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    m_started.clear();
    program::setStarterForTesting([this](const QString& p) {
        m_started.append(p);
        return true;
    });
    m_boxes = std::make_unique<MessageBoxWatcher>();
}

void TestLogin::cleanup() {
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    RecordStore::instance().closeAll();
    m_boxes.reset();
    program::setStarterForTesting({});
    setRunDirectory(QString());
    m_dir.reset();
}

void TestLogin::startWith(const QList<OperatorRow>& rows) {
    QVERIFY(makeOperatorTable(m_dir->file("gly.dat"), rows));
    m_app = std::make_unique<Application>();
    m_app->start();
    QVERIFY(m_app->loginWindow());
    QVERIFY(m_app->loginWindow()->isVisible());
}

void TestLogin::chooseAndType(const QString& name, const QString& password) {
    auto& ui = m_app->loginWindow()->ui();
    ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(name));
    ui.编辑框_登录密码->setText(password);
}

void TestLogin::firstRunCreatesSeededTable() {
    m_boxes->queueAnswers({true, true});
    m_app = std::make_unique<Application>();
    m_app->start();
    QCOMPARE(m_boxes->texts(),
             QStringList({QStringLiteral("第一次启动或者管理员数据库丢失新建初始数据库"),
                          QStringLiteral("管理员数据库初始化成功\r\n软件重新启动才能生效\r\n"
                                         "自动重启点击【确定】否则点击【取消】")}));
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::Question);
    QVERIFY(m_boxes->seen()[0].hasCancel);
    QVERIFY(m_app->isEnded());
    QCOMPARE(m_started, QStringList{program::siblingExecutable("quorvel")});

    RecordStore& store = RecordStore::instance();
    const QString path = m_dir->file("gly.dat");
    QVERIFY(store.isEncrypted(path));
    QVERIFY(!store.openTable(path)); // not without the password
    QVERIFY(store.openTable(path, kTablePassword));
    QCOMPARE(store.recordCount(), 1);
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField("管理员名称"), QStringLiteral("QELV软件"));
    QCOMPARE(store.readField("管理员密码"), QStringLiteral("907153"));
    QVERIFY(store.readFlag("管理员权限"));
    QCOMPARE(store.readField("ID"), QString());
    const QList<FieldDef> fields = store.fields();
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields[3].type, int(LogicalField));
    QCOMPARE(fields[1].maxLength, 50);
    store.closeAll();

    // The relaunched program lists the seeded operator, who logs in with the seeded password.
    m_app = std::make_unique<Application>();
    m_app->start();
    QCOMPARE(m_app->loginWindow()->ui().组合框_用户名->count(), 1);
    chooseAndType("QELV软件", "907153");
    m_app->loginWindow()->checkLogin();
    QVERIFY(m_app->mainWindow());
    QVERIFY(m_app->mainWindow()->isVisible());
}

void TestLogin::firstRunCancelCreatesNothing() {
    m_boxes->queueAnswers({false});
    m_app = std::make_unique<Application>();
    m_app->start();
    QCOMPARE(m_boxes->seen().size(), 1);
    QVERIFY(m_app->isEnded());
    QVERIFY(!QFile::exists(m_dir->file("gly.dat")));
    QVERIFY(m_started.isEmpty());
}

void TestLogin::loginFailures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    QTest::addColumn<bool>("passwordCleared");
    QTest::addColumn<bool>("nameCleared");
    QTest::newRow("no operator") << QString() << "1" << "请选择管理员" << int(QMessageBox::Question) << false << true;
    QTest::newRow("no password") << "店长" << QString() << "请输入密码" << int(QMessageBox::Critical) << true << false;
    QTest::newRow("wrong password") << "店长" << "x" << "密码不正确" << int(QMessageBox::Critical) << true << false;
    QTest::newRow("second of same name") << "店长" << "2" << "密码不正确" << int(QMessageBox::Critical) << true << false;
    QTest::newRow("case differs") << "店长" << "ABC" << "密码不正确" << int(QMessageBox::Critical) << true << false;
    QTest::newRow("removed operator") << "离职" << "9" << kUnknown << int(QMessageBox::Critical) << true << true;
}

void TestLogin::loginFailures() {
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(int, icon);
    QFETCH(bool, passwordCleared);
    QFETCH(bool, nameCleared);
    startWith({{"店长", "abc"}, {"店长", "2"}, {"收银", "3", false}});
    auto& ui = m_app->loginWindow()->ui();
    if (name == QStringLiteral("离职")) {
        // An operator listed earlier and removed since: the list still offers the name.
        ui.组合框_用户名->addItem(name);
    }
    chooseAndType(name, password);
    m_app->loginWindow()->checkLogin();
    QCOMPARE(m_boxes->texts(), QStringList{message});
    QCOMPARE(int(m_boxes->seen()[0].icon), icon);
    QVERIFY(!m_app->mainWindow());
    QVERIFY(m_app->loginWindow()->isVisible());
    QCOMPARE(ui.编辑框_登录密码->text().isEmpty(), passwordCleared || password.isEmpty());
    QCOMPARE(ui.组合框_用户名->currentText().isEmpty(), nameCleared);
}

void TestLogin::missingAndDamagedTable() {
    startWith({{"店长", "1"}});
    RecordStore::instance().closeAll();
    const QByteArray good = readBytes(m_dir->file("gly.dat"));
    QVERIFY(QFile::remove(m_dir->file("gly.dat")));
    chooseAndType("店长", "1");
    m_app->loginWindow()->checkLogin();
    QCOMPARE(m_boxes->texts(), QStringList{"数据库文件已丢失"});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::NoIcon);

    QByteArray damaged = good;
    damaged.truncate(damaged.size() / 2);
    QVERIFY(writeBytes(m_dir->file("gly.dat"), damaged));
    m_boxes->clear();
    m_app->loginWindow()->checkLogin();
    QCOMPARE(m_boxes->texts(), QStringList{"数据库文件已损坏"});
    QCOMPARE(readBytes(m_dir->file("gly.dat")), damaged);
    QVERIFY(!m_app->mainWindow());
}

void TestLogin::emptyTableDoesNothing() {
    startWith({});
    auto& ui = m_app->loginWindow()->ui();
    ui.组合框_用户名->addItem("店长");
    chooseAndType("店长", "1");
    m_app->loginWindow()->checkLogin();
    QTest::qWait(20);
    QVERIFY(m_boxes->seen().isEmpty());
    QVERIFY(!m_app->mainWindow());
}

void TestLogin::enterInPasswordLogsIn() {
    startWith({{"店长", "abc"}});
    auto& ui = m_app->loginWindow()->ui();
    QCOMPARE(ui.组合框_用户名->count(), 1);
    ui.组合框_用户名->setCurrentIndex(0);
    ui.编辑框_登录密码->setFocus();
    QTest::keyClicks(ui.编辑框_登录密码, "abc");
    QTest::keyClick(ui.编辑框_登录密码, Qt::Key_Return);
    MainWindow* main = m_app->mainWindow();
    QVERIFY(main);
    QVERIFY(main->isVisible());
    QVERIFY(!m_app->loginWindow()->isVisible());
    QCOMPARE(main->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(main->windowTitle(), QStringLiteral("Quorvel软件"));
    QVERIFY(main->isModal());
    QCOMPARE(main->statusPart(1)->text(), QStringLiteral("店长"));
    QCOMPARE(loggedInOperator(), QStringLiteral("店长"));
    QCOMPARE(ui.组合框_用户名->currentText(), QString());
    QCOMPARE(ui.编辑框_登录密码->text(), QString());
    // Opens on the about page, first inner page.
    QCOMPARE(main->ui().高级选择夹->currentIndex(), 3);
    const QList<QAction*> actions = main->ui().工具条1->actions();
    QCOMPARE(actions.size(), 8);
    for (int i : {1, 3, 5, 7})
        QVERIFY(actions[i]->isSeparator());
    QCOMPARE(actions[0]->text(), QStringLiteral("软件设置"));
    QCOMPARE(actions[6]->text(), QStringLiteral("关 于"));
    for (int i : {0, 2, 4, 6})
        QVERIFY(actions[i]->isEnabled());
    // The status bar's parts, left to right.
    const QList<int> widths = {40, 80, 40, 180, 80, 188, 60, 80, 60, 110};
    const QList<QLabel*> parts = main->ui().状态条_提示->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(parts.size(), 10);
    int x = 0;
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(main->statusPart(i)->width(), widths[i]);
        QCOMPARE(main->statusPart(i)->x(), x);
        x += widths[i];
    }
    QCOMPARE(main->statusPart(0)->text(), QStringLiteral("管理员"));
    QCOMPARE(main->statusPart(2)->text(), QStringLiteral("时间："));
    QVERIFY(main->statusPart(3)->text().startsWith(QString::number(QDate::currentDate().year()) + "年"));
}

void TestLogin::operatorWithoutRightIsRestricted() {
    startWith({{"店长", "1"}, {"收银", "3", false}});
    chooseAndType("收银", "3");
    m_app->loginWindow()->checkLogin();
    MainWindow* main = m_app->mainWindow();
    QVERIFY(main);
    const QList<QAction*> actions = main->ui().工具条1->actions();
    QVERIFY(!actions[0]->isEnabled());
    QVERIFY(!actions[2]->isEnabled());
    QVERIFY(actions[4]->isEnabled());
    QVERIFY(actions[6]->isEnabled());
    // A disabled button delivers no click: the pages stay out of reach.
    actions[0]->trigger();
    actions[2]->trigger();
    QCOMPARE(main->ui().高级选择夹->currentIndex(), 3);
    actions[4]->trigger();
    QCOMPARE(main->ui().高级选择夹->currentIndex(), 2);
}

void TestLogin::comboPressReloadsOnlyWithoutModifiers() {
    startWith({{"店长", "1"}});
    QComboBox* combo = m_app->loginWindow()->ui().组合框_用户名;
    QCOMPARE(combo->count(), 1);
    // Another program adds an operator to the table meanwhile.
    RecordStore& store = RecordStore::instance();
    store.closeAll();
    QVERIFY(store.openTable(m_dir->file("gly.dat"), kTablePassword));
    QVERIFY(store.addBlankRecord());
    QVERIFY(store.writeField("管理员名称", "新人"));
    QVERIFY(store.isOpen(m_dir->file("gly.dat")));

    QTest::mousePress(combo, Qt::LeftButton, Qt::ControlModifier);
    QTest::mouseRelease(combo, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(combo->count(), 1);
    QVERIFY(store.isOpen(m_dir->file("gly.dat"))); // nothing was closed

    QTest::mousePress(combo, Qt::LeftButton);
    combo->hidePopup();
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), QStringLiteral("新人"));
    // A login right after finds the table open and uses it.
    chooseAndType("新人", "");
    m_app->loginWindow()->ui().编辑框_登录密码->setText("x");
    m_app->loginWindow()->checkLogin();
    QCOMPARE(m_boxes->texts(), QStringList{"密码不正确"});
}

void TestLogin::layoutExample() {
    startWith({{"店长", "1"}});
    chooseAndType("店长", "1");
    m_app->loginWindow()->checkLogin();
    MainWindow* main = m_app->mainWindow();
    QVERIFY(main);
    main->resize(895, 538);
    QCOMPARE(main->ui().工具条1->height(), 80);
    QCOMPARE(main->ui().状态条_提示->height(), 20);
    // Resizing alone does not lay the pages out again.
    QCOMPARE(main->ui().高级选择夹->geometry(), QRect(0, 80, 895, 438));
    main->resize(1000, 600);
    QCOMPARE(main->ui().高级选择夹->geometry(), QRect(0, 80, 895, 438));
    main->resize(895, 538);
    main->onToolbarClick(4);
    QCOMPARE(main->ui().高级选择夹->geometry(), QRect(0, 80, 895, 438));
    QVERIFY(!main->ui().高级选择夹->tabBar()->isVisible());
    auto& add = main->addPage()->ui();
    QCOMPARE(add.分组框_添加会员->geometry(), QRect(1, 1, 203, 436));
    QCOMPARE(add.超级列表框_添加->geometry(), QRect(203, 0, 692, 438));
    auto& swipe = main->swipePage()->ui();
    QCOMPARE(swipe.分组框_刷卡->geometry(), QRect(1, 1, 895, 120));
    QCOMPARE(swipe.超级列表框_刷卡->geometry(), QRect(1, 120, 894, 318));
    QCOMPARE(main->ui().图片框_主题图片->geometry(), QRect(315, 0, 590, 80));
    QCOMPARE(main->ui().透明标签_软件标题->geometry(), QRect(0, 0, 590, 80));
    QCOMPARE(main->ui().高级选择夹->currentIndex(), 2);
    QCOMPARE(QApplication::focusWidget() == swipe.编辑框_刷卡号 || !main->isActiveWindow(), true);
}

void TestLogin::closingModes_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("relogin");
    QTest::newRow("absent") << QString("<none>") << true;
    QTest::newRow("true") << QString("真") << true;
    QTest::newRow("false") << QString("假") << false;
    QTest::newRow("other text") << QString("是") << false;
}

void TestLogin::closingModes() {
    QFETCH(QString, stored);
    QFETCH(bool, relogin);
    if (stored != "<none>")
        QVERIFY(writeSetting("重新登录", stored));
    startWith({{"店长", "1"}});
    chooseAndType("店长", "1");
    m_app->loginWindow()->checkLogin();
    QPointer<MainWindow> main = m_app->mainWindow();
    QVERIFY(main);
    QVERIFY(main->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(main.isNull());
    QVERIFY(!RecordStore::instance().hasCurrentTable());
    if (relogin) {
        QVERIFY(!m_app->isEnded());
        QVERIFY(m_app->loginWindow());
        QVERIFY(m_app->loginWindow()->isVisible());
        QVERIFY(m_app->loginWindow()->isEnabled());
        QCOMPARE(m_app->loginWindow()->ui().组合框_用户名->count(), 1);
        // A new login starts again on the about page.
        chooseAndType("店长", "1");
        m_app->loginWindow()->checkLogin();
        QVERIFY(m_app->mainWindow());
        QCOMPARE(m_app->mainWindow()->ui().高级选择夹->currentIndex(), 3);
    } else {
        QVERIFY(m_app->isEnded());
        QVERIFY(!m_app->loginWindow());
    }
}

void TestLogin::userManagementStartsSibling() {
    startWith({{"店长", "1"}});
    QTest::mouseClick(m_app->loginWindow()->ui().按钮用户管理, Qt::LeftButton);
    QCOMPARE(m_started, QStringList{program::siblingExecutable("quorvel-users")});
    QVERIFY(m_boxes->seen().isEmpty());
    // The exit button ends the program.
    QTest::mouseClick(m_app->loginWindow()->ui().按钮退出, Qt::LeftButton);
    QVERIFY(m_app->isEnded());
}

QTEST_MAIN(TestLogin)
#include "TestLogin.moc"
