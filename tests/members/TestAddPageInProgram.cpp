// The add page inside the program: reached through the login and the toolbar.
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/MemberListModel.h"
#include "members/MemberWorker.h"
#include "store/RecordStore.h"
#include "tests/support/Members.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "text/DateText.h"
#include "ui_AddPage.h"
#include "ui_LoginWindow.h"
#include "ui_MainWindow.h"

#include <QToolBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

class TestAddPageInProgram : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void toolbarLoadsTheList();
    void newMemberCarriesTheOperator();
    void closingDuringALoad();

private:
    MainWindow* login(const QString& name, const QString& password);
    void memberManagement() { m_app->mainWindow()->ui().工具条1->actions()[2]->trigger(); }
    AddPage& page() { return *m_app->mainWindow()->addPage(); }

    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<Application> m_app;
};

void TestAddPageInProgram::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    m_boxes = std::make_unique<MessageBoxWatcher>();
    QVERIFY(makeOperatorTable(m_dir->file("gly.dat"), {{"店长", "1"}, {"收银员甲", "2"}}));
}

void TestAddPageInProgram::cleanup() {
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    RecordStore::instance().closeAll();
    m_boxes.reset();
    setRunDirectory(QString());
    m_dir.reset();
}

MainWindow* TestAddPageInProgram::login(const QString& name, const QString& password) {
    if (!m_app) {
        m_app = std::make_unique<Application>();
        m_app->start();
    }
    auto& ui = m_app->loginWindow()->ui();
    ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(name));
    ui.编辑框_登录密码->setText(password);
    m_app->loginWindow()->checkLogin();
    return m_app->mainWindow();
}

void TestAddPageInProgram::toolbarLoadsTheList() {
    QVERIFY(makeMemberTable(m_dir->file("thy.dat"), numberedMembers(3, 501)));
    QVERIFY(login("店长", "1"));
    memberManagement();
    QCOMPARE(m_app->mainWindow()->ui().高级选择夹->currentIndex(), int(MainWindow::AddPageIndex));
    page().finishListLoad();
    MemberListModel* list = page().memberList();
    QCOMPARE(list->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(list->cell(r, 0), QString::number(r));
        QCOMPARE(list->cell(r, 1), QString::number(501 + r));
    }
    Ui::AddPage& u = page().ui();
    QCOMPARE(u.透明标签_会员加载数据->text(), QStringLiteral("已加载数据完成"));
    QCOMPARE(u.进度条1->value(), 3);
    QCOMPARE(u.进度条1->maximum(), 3);
    QCOMPARE(page().focusWidget(), u.编辑框_入会卡号);

    // A check leaves one row; the toolbar then rebuilds the whole list.
    QTest::keyClicks(u.编辑框_入会卡号, "502");
    QTest::keyClick(u.编辑框_入会卡号, Qt::Key_Return);
    page().settleCardChecks();
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(u.按钮_添加会员->text(), QStringLiteral("会员充值"));
    memberManagement();
    page().finishListLoad();
    QCOMPARE(list->rowCount(), 3);
    QVERIFY(m_boxes->seen().isEmpty());
}

void TestAddPageInProgram::newMemberCarriesTheOperator() {
    QVERIFY(makeMemberTable(m_dir->file("thy.dat"), numberedMembers(2)));
    QVERIFY(login("收银员甲", "2"));
    memberManagement();
    page().finishListLoad();
    Ui::AddPage& u = page().ui();
    // As a scanner and the keyboard drive it.
    QTest::keyClicks(u.编辑框_入会卡号, "8800");
    QTest::keyClick(u.编辑框_入会卡号, Qt::Key_Return);
    page().settleCardChecks();
    QCOMPARE(u.透明标签_会员加载数据->text(), QStringLiteral("欢迎新会员加入"));
    QTest::keyClicks(u.编辑框_入名称, "Li");
    QTest::keyClick(u.编辑框_入名称, Qt::Key_Return);
    QTest::keyClicks(u.编辑框_入手机号, "1390");
    QTest::keyClick(u.编辑框_入手机号, Qt::Key_Return);
    u.组合框_入类型->setCurrentIndex(1);
    QTest::keyClicks(u.编辑框_入金额, "60");
    QTest::keyClick(u.编辑框_入金额, Qt::Key_Return);

    QCOMPARE(m_boxes->seen().size(), 1);
    QVERIFY(m_boxes->seen()[0].text.endsWith("新会员已添加完成，请到刷卡界面查看"));
    const QStringList stored = readMember(m_dir->file("thy.dat"), 3);
    QCOMPARE(stored.value(1), QStringLiteral("8800"));
    QCOMPARE(stored.value(8), QStringLiteral("收银员甲"));
    QCOMPARE(stored.value(7), QStringLiteral("60"));
    QCOMPARE(stored.value(10), dateText(QDate::currentDate()));
    page().finishListLoad();
    QCOMPARE(page().memberList()->rowCount(), 3);
    QCOMPARE(page().memberList()->cell(2, 8), QStringLiteral("收银员甲"));
}

void TestAddPageInProgram::closingDuringALoad() {
    const int n = 3000;
    QVERIFY(makeMemberTable(m_dir->file("thy.dat"), numberedMembers(n)));
    QPointer<MainWindow> first = login("店长", "1");
    QVERIFY(first);
    memberManagement();
    // Closing in the return-to-login mode ends the load before the login window comes back.
    QVERIFY(first->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QVERIFY(m_app->loginWindow() && m_app->loginWindow()->isVisible());
    QVERIFY(!MemberWorker::instance().isPending(MemberWorker::Kind::ListLoad));

    QVERIFY(login("店长", "1"));
    memberManagement();
    page().finishListLoad();
    QCOMPARE(page().memberList()->rowCount(), n);
    QCOMPARE(page().memberList()->cell(n - 1, 0), QString::number(n - 1));
    QCOMPARE(page().ui().透明标签_会员加载数据->text(), QStringLiteral("已加载数据完成"));
    QVERIFY(m_boxes->seen().isEmpty());
}

QTEST_MAIN(TestAddPageInProgram)
#include "TestAddPageInProgram.moc"
