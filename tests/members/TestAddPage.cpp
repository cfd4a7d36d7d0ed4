// The add page driven through its widgets: member list loads, card checks, additions, top-ups,
// points redemption and the input rules.
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/MemberListModel.h"
#include "members/MemberWorker.h"
#include "members/Session.h"
#include "store/RecordStore.h"
#include "tests/support/Members.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TempRunDir.h"
#include "text/DateText.h"
#include "ui_AddPage.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

enum Field { FId, FCard, FName, FGender, FPhone, FType, FVisits, FBalance, FOperator, FPoints, FSignUp, FSwipes };

const QString kWriteFailed = QStringLiteral("数据库写入失败，本次操作未保存");
const QString kQuestion = QStringLiteral(
    "存在不正当操作，会 员 卡 号 已 有 变 动！！！\r\n\r\n如果卡号有与他人员相同 将为他人充值，"
    "否则将更改为添加新顾客\r\n\r\n确认= 添加新会员           取消= 放弃这次非法更改");

// Five members of every kind; card "1001" twice, the earlier one first.
QList<MemberRow> mixedMembers() {
    QList<MemberRow> rows;
    rows.append({"1001", "张三", "男", "13800", "次卡", "3", "", "店长", "20", "2018年3月5日", ""});
    rows.append({"1002", "李四", "女", "13900", "储蓄卡", "", "100", "店长", "100", "2018年3月6日", "2"});
    rows.append({"1003", "王五", "", "13700", "无限卡", "", "100.1", "收银", "7.50", "2018年3月7日", ""});
    rows.append({"1004", "赵六", "女", "13600", "年卡", "", "", "收银", "", "2018年3月8日", ""});
    rows.append({"1001", "重号", "男", "13500", "储蓄卡", "", "9", "收银", "9", "2018年3月9日", ""});
    return rows;
}

const char* kFailingField = nullptr;
bool failingWrite(const QString& field) {
    return !(kFailingField && field == QString::fromUtf8(kFailingField));
}

} // namespace

class TestAddPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void initialState();
    void listLoad_data();
    void listLoad();
    void listLoadFailures_data();
    void listLoadFailures();
    void cardCheck_data();
    void cardCheck();
    void cardCheckEmptyTable();
    void addOrTopUpChecks_data();
    void addOrTopUpChecks();
    void newMember_data();
    void newMember();
    void topUp_data();
    void topUp();
    void writeFailures_data();
    void writeFailures();
    void changedCardNumber_data();
    void changedCardNumber();
    void redeemPoints_data();
    void redeemPoints();
    void redeemWriteFailure();
    void cardTypeSelection();
    void numberBoxesDropLetters_data();
    void numberBoxesDropLetters();
    void pasteAndMenuSwallowed_data();
    void pasteAndMenuSwallowed();
    void gbkLimit_data();
    void gbkLimit();
    void dialogOpeners();
    void fillsDoNotInterleave_data();
    void fillsDoNotInterleave();

private:
    QString tablePath() const { return m_dir->file("thy.dat"); }
    void newPage();
    Ui::AddPage& ui() { return m_page->ui(); }
    MemberListModel* list() { return m_page->memberList(); }
    void scan(const QString& card);
    void fillPage(const QString& card, const QString& name, const QString& phone, int type, const QString& visits,
                  const QString& amount);
    void pressEnter(QWidget* box) { QTest::keyClick(box, Qt::Key_Return); }
    QString focusName() const {
        QWidget* f = m_page->focusWidget();
        return f ? f->objectName() : QString();
    }

    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<AddPage> m_page;
};

void TestAddPage::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    m_boxes = std::make_unique<MessageBoxWatcher>();
    setLoggedInOperator(QStringLiteral("店长"));
    setCurrentMemberRecord(0);
    newPage();
}

void TestAddPage::cleanup() {
    m_page.reset();
    RecordStore::instance().setWriteHookForTesting(nullptr);
    kFailingField = nullptr;
    RecordStore::instance().closeAll();
    m_boxes.reset();
    setRunDirectory(QString());
    m_dir.reset();
}

void TestAddPage::newPage() {
    m_page = std::make_unique<AddPage>();
    // The main window's clock keeps this box at today's date.
    m_page->ui().编辑框_入时间->setText(dateText(QDate::currentDate()));
    m_page->show();
}

void TestAddPage::scan(const QString& card) {
    ui().编辑框_入会卡号->clear();
    QTest::keyClicks(ui().编辑框_入会卡号, card);
    pressEnter(ui().编辑框_入会卡号);
    m_page->settleCardChecks();
}

void TestAddPage::fillPage(const QString& card, const QString& name, const QString& phone, int type,
                           const QString& visits, const QString& amount) {
    ui().编辑框_入会卡号->setText(card);
    ui().编辑框_入名称->setText(name);
    ui().编辑框_入手机号->setText(phone);
    ui().组合框_入类型->setCurrentIndex(type);
    ui().编辑框_充值次数->setText(visits);
    ui().编辑框_入金额->setText(amount);
}

// --- initial state ------------------------------------------------------------------------------

void TestAddPage::initialState() {
    Ui::AddPage& u = ui();
    for (QWidget* w : std::initializer_list<QWidget*>{u.按钮_添加会员, u.按钮_会员信息修改, u.按钮_注销会员,
                                                      u.按钮_刷积分, u.编辑框_刷积分})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(u.编辑框_充值次数->isEnabled());
    QCOMPARE(u.组合框_入类型->currentText(), QStringLiteral("次卡"));
    QCOMPARE(u.组合框_入性别->currentText(), QStringLiteral("男"));
    QCOMPARE(u.按钮_添加会员->text(), QStringLiteral("添加会员"));
    QCOMPARE(u.透明标签_会员加载数据->text(), QStringLiteral("加载数据"));
    QCOMPARE(u.标签_扫码提示->text(), QStringLiteral("支持扫码枪扫码输入及手动填号"));
    QVERIFY(u.编辑框_入时间->isReadOnly());
    QCOMPARE(u.超级列表框_添加->model(), list());
    const QStringList titles = {"ID", "会员卡号", "会员姓名", "性别", "会员通讯", "会员类型",
                                "充值次数", "充值金额", "操作员", "累计积分", "注册时间"};
    const QList<int> widths = {40, 60, 80, 40, 80, 80, 60, 60, 60, 60, 120};
    for (int c = 0; c < titles.size(); ++c) {
        QCOMPARE(list()->headerData(c, Qt::Horizontal).toString(), titles[c]);
        QCOMPARE(u.超级列表框_添加->columnWidth(c), widths[c]);
    }
}

// --- member list --------------------------------------------------------------------------------

void TestAddPage::listLoad_data() {
    QTest::addColumn<bool>("direct");        // on the GUI thread rather than the worker
    QTest::addColumn<int>("members");
    QTest::addColumn<bool>("openBefore");    // table already open when the load starts
    QTest::addColumn<int>("rowsBefore");     // marker rows the list shows before
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<bool>("rebuilt");
    for (bool direct : {false, true}) {
        const char* how = direct ? "direct: " : "worker: ";
        auto row = [&](const char* name) { return &QTest::newRow(qPrintable(QString(how) + name)); };
        *row("three members") << direct << 3 << false << 0 << "已加载数据完成" << 3 << 3 << 3 << true;
        *row("empty table, not open") << direct << 0 << false << 2 << "添加一位会员试试吧！！" << 0 << 0 << 100
                                      << true;
        *row("empty table, open, list empty") << direct << 0 << true << 0 << "加载数据" << 0 << 0 << 100 << false;
        *row("open, list as long as table") << direct << 2 << true << 2 << "加载数据" << 2 << 0 << 100 << false;
        *row("open, list shorter") << direct << 2 << true << 1 << "已加载数据完成" << 2 << 2 << 2 << true;
        *row("open, table emptied") << direct << 0 << true << 2 << "正在加载数据，请稍候操作" << 0 << 0 << 100
                                    << true;
        *row("more than one batch") << direct << 1201 << false << 0 << "已加载数据完成" << 1201 << 1201 << 1201
                                    << true;
    }
}

void TestAddPage::listLoad() {
    QFETCH(bool, direct);
    QFETCH(int, members);
    QFETCH(bool, openBefore);
    QFETCH(int, rowsBefore);
    QFETCH(QString, label);
    QFETCH(int, rows);
    QFETCH(int, value);
    QFETCH(int, maximum);
    QFETCH(bool, rebuilt);
    QVERIFY(makeMemberTable(tablePath(), numberedMembers(members)));
    if (openBefore)
        QCOMPARE(memberCount(tablePath()), members);
    for (int i = 0; i < rowsBefore; ++i)
        list()->appendRow(QStringLiteral("marker"), {QStringLiteral("old")});

    if (direct) {
        m_page->loadMemberListNow();
    } else {
        m_page->restartListLoad();
        m_page->finishListLoad();
    }

    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(ui().透明标签_会员加载数据->text(), label);
    QCOMPARE(list()->rowCount(), rows);
    QCOMPARE(ui().进度条1->value(), value);
    QCOMPARE(ui().进度条1->maximum(), maximum);
    if (!rebuilt) {
        for (int r = 0; r < rows; ++r)
            QCOMPARE(list()->cell(r, 0), QStringLiteral("marker"));
        return;
    }
    const QList<MemberRow> expected = numberedMembers(members);
    for (int r = 0; r < rows; ++r) {
        QCOMPARE(list()->cell(r, 0), QString::number(r));
        QCOMPARE(list()->cell(r, 1), expected[r].card);
        QCOMPARE(list()->cell(r, 2), expected[r].name);
        QCOMPARE(list()->cell(r, 9), expected[r].points);
    }
}

void TestAddPage::listLoadFailures_data() {
    QTest::addColumn<bool>("direct");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QString>("message");
    for (bool direct : {false, true}) {
        const QString how = direct ? "direct: " : "worker: ";
        QTest::newRow(qPrintable(how + "missing")) << direct << true << "数据库文件已丢失";
        QTest::newRow(qPrintable(how + "damaged")) << direct << false << "数据库文件已损坏";
    }
}

void TestAddPage::listLoadFailures() {
    QFETCH(bool, direct);
    QFETCH(bool, missing);
    QFETCH(QString, message);
    if (!missing)
        QVERIFY(writeBytes(tablePath(), QByteArray(4096, 'x')));
    list()->appendRow(QStringLiteral("marker"), {});
    if (direct) {
        m_page->loadMemberListNow();
    } else {
        m_page->restartListLoad();
        m_page->finishListLoad();
    }
    QCOMPARE(m_boxes->texts(), QStringList{message});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::NoIcon);
    QCOMPARE(list()->rowCount(), 1);
    QCOMPARE(ui().透明标签_会员加载数据->text(), QStringLiteral("加载数据"));
}

// --- card-number check --------------------------------------------------------------------------

void TestAddPage::cardCheck_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("record");      // 0: nobody recognised
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<bool>("countEnabled");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("genderIndex");
    QTest::addColumn<QString>("points");
    QTest::addColumn<int>("progress");
    // Before the check the type shows "储蓄卡" with the count box disabled, gender "女".
    QTest::newRow("count card") << "1001" << "欢迎次卡会员充值" << 1 << 0 << true << "编辑框_充值次数" << 0 << "20" << 5;
    QTest::newRow("stored-value card") << "1002" << "欢迎储蓄卡会员充值" << 2 << 1 << false << "编辑框_入金额" << 1
                                       << "100" << 5;
    QTest::newRow("unlimited card, no gender") << "1003" << "欢迎无限卡会员充值" << 3 << 2 << false
                                               << "编辑框_入金额" << 1 << "7.5" << 5;
    QTest::newRow("unknown card type") << "1004" << "欢迎会员充值" << 4 << 1 << false << "编辑框_入名称" << 1 << "0"
                                       << 5;
    QTest::newRow("nobody") << "9999" << "欢迎新会员加入" << 0 << -1 << false << "编辑框_入名称" << 1 << "" << 5;
    QTest::newRow("prefix of a card") << "100" << "欢迎新会员加入" << 0 << -1 << false << "编辑框_入名称" << 1 << ""
                                      << 5;
}

void TestAddPage::cardCheck() {
    QFETCH(QString, card);
    QFETCH(QString, label);
    QFETCH(int, record);
    QFETCH(int, typeIndex);
    QFETCH(bool, countEnabled);
    QFETCH(QString, focus);
    QFETCH(int, genderIndex);
    QFETCH(QString, points);
    QFETCH(int, progress);
    const QList<MemberRow> members = mixedMembers();
    QVERIFY(makeMemberTable(tablePath(), members));
    Ui::AddPage& u = ui();
    u.组合框_入类型->setCurrentIndex(1);
    u.编辑框_充值次数->setEnabled(false);
    u.组合框_入性别->setCurrentIndex(1);
    u.编辑框_入名称->setText("旧名");
    u.编辑框_入手机号->setText("000");
    u.编辑框_充值次数->setText("2");
    u.编辑框_入金额->setText("5");
    u.透明标签_积分->setText("old");
    list()->appendRow("marker", {});
    setCurrentMemberRecord(77);

    scan(card);

    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(u.编辑框_入会卡号->text(), card);
    QCOMPARE(u.透明标签_会员加载数据->text(), label);
    QCOMPARE(u.组合框_入类型->currentIndex(), typeIndex);
    QCOMPARE(u.编辑框_充值次数->isEnabled(), countEnabled);
    QCOMPARE(focusName(), focus);
    QCOMPARE(u.组合框_入性别->currentIndex(), genderIndex);
    QCOMPARE(u.透明标签_积分->text(), points);
    QCOMPARE(u.进度条1->value(), progress);
    QCOMPARE(u.进度条1->maximum(), int(members.size()));
    QVERIFY(u.按钮_添加会员->isEnabled());
    const bool recognised = record > 0;
    QCOMPARE(currentMemberRecord(), recognised ? record : 77);
    QCOMPARE(u.按钮_添加会员->text(), recognised ? QStringLiteral("会员充值") : QStringLiteral("添加会员"));
    QCOMPARE(u.按钮_会员信息修改->isEnabled(), recognised);
    QCOMPARE(u.按钮_注销会员->isEnabled(), recognised);
    QCOMPARE(u.按钮_刷积分->isEnabled(), recognised);
    QCOMPARE(u.编辑框_刷积分->isEnabled(), recognised);
    if (recognised) {
        const MemberRow& m = members[record - 1];
        QCOMPARE(u.编辑框_入名称->text(), m.name);
        QCOMPARE(u.编辑框_入手机号->text(), m.phone);
        QCOMPARE(u.编辑框_充值次数->text(), QStringLiteral("2"));
        QCOMPARE(u.编辑框_入金额->text(), QStringLiteral("5"));
        QCOMPARE(list()->rowCount(), 1);
        const QStringList expected = {"0",       m.card,    m.name,         m.gender, m.phone, m.type,
                                      m.visits,  m.balance, m.operatorName, m.points, m.signUp};
        for (int c = 0; c < expected.size(); ++c)
            QCOMPARE(list()->cell(0, c), expected[c]);
    } else {
        for (QLineEdit* box : {u.编辑框_入名称, u.编辑框_入手机号, u.编辑框_充值次数, u.编辑框_入金额})
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        QCOMPARE(u.组合框_入类型->currentText(), QString());
        QCOMPARE(list()->rowCount(), 0);
    }
}

void TestAddPage::cardCheckEmptyTable() {
    QVERIFY(makeMemberTable(tablePath(), {}));
    list()->appendRow("marker", {});
    ui().编辑框_入名称->setText("旧名");
    scan("1001");
    QCOMPARE(ui().透明标签_会员加载数据->text(), QStringLiteral("添加一位会员试试吧！！"));
    QCOMPARE(ui().进度条1->maximum(), 0);
    QCOMPARE(list()->rowCount(), 0);
    QVERIFY(ui().按钮_添加会员->isEnabled());
    QCOMPARE(ui().按钮_添加会员->text(), QStringLiteral("添加会员"));
    QCOMPARE(ui().编辑框_入名称->text(), QStringLiteral("旧名"));
    QCOMPARE(focusName(), QStringLiteral("编辑框_入名称"));

    // A missing table: the list is still emptied, then the message.
    RecordStore::instance().closeAll();
    QVERIFY(QFile::remove(tablePath()));
    list()->appendRow("marker", {});
    scan("1001");
    QCOMPARE(m_boxes->texts(), QStringList{"数据库文件已丢失"});
    QCOMPARE(list()->rowCount(), 0);
}

// --- add or top up ------------------------------------------------------------------------------

void TestAddPage::addOrTopUpChecks_data() {
    QTest::addColumn<QString>("table"); // "ok", "missing", "damaged"
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("visits");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("focus"); // empty: focus not moved
    const int error = QMessageBox::Critical;
    const int plain = QMessageBox::NoIcon;
    QTest::newRow("everything blank") << "ok" << "" << "" << "" << -1 << "" << "" << "卡号不能为空！" << error << "";
    QTest::newRow("card of spaces") << "ok" << " 　" << "n" << "1" << 0 << "1" << "1" << "卡号不能为空！" << error << "";
    QTest::newRow("name blank") << "ok" << "1" << "  " << "" << -1 << "" << "" << "名称不能为空！" << error << "";
    QTest::newRow("phone blank") << "ok" << "1" << "n" << "" << -1 << "" << "" << "电话号不能为空！" << error << "";
    QTest::newRow("no card type") << "ok" << "1" << "n" << "1" << -1 << "" << "" << "卡类型不能为空！" << error << "";
    QTest::newRow("count card without count") << "ok" << "1" << "n" << "1" << 0 << "　" << "" << "充值次数不能为空！"
                                              << error << "编辑框_充值次数";
    QTest::newRow("count card without amount") << "ok" << "1" << "n" << "1" << 0 << "3" << " " << "充值金额不能为空！"
                                               << error << "编辑框_入金额";
    QTest::newRow("money card needs no count") << "ok" << "1" << "n" << "1" << 1 << "" << "" << "充值金额不能为空！"
                                               << error << "编辑框_入金额";
    QTest::newRow("table missing") << "missing" << "1" << "n" << "1" << 1 << "" << "5" << "数据库文件已丢失" << plain
                                   << "";
    QTest::newRow("table damaged") << "damaged" << "1" << "n" << "1" << 1 << "" << "5" << "数据库文件已损坏" << plain
                                   << "";
}

void TestAddPage::addOrTopUpChecks() {
    QFETCH(QString, table);
    QFETCH(QString, card);
    QFETCH(QString, name);
    QFETCH(QString, phone);
    QFETCH(int, type);
    QFETCH(QString, visits);
    QFETCH(QString, amount);
    QFETCH(QString, message);
    QFETCH(int, icon);
    QFETCH(QString, focus);
    if (table == "ok")
        QVERIFY(makeMemberTable(tablePath(), mixedMembers()));
    else if (table == "damaged")
        QVERIFY(writeBytes(tablePath(), QByteArray(4096, 'x')));
    fillPage(card, name, phone, type, visits, amount);
    ui().编辑框_入名称->setFocus();

    pressEnter(ui().编辑框_入金额);

    QCOMPARE(m_boxes->texts(), QStringList{message});
    QCOMPARE(int(m_boxes->seen()[0].icon), icon);
    QCOMPARE(focusName(), focus.isEmpty() ? QStringLiteral("编辑框_入名称") : focus);
    QCOMPARE(ui().编辑框_入会卡号->text(), card);
    QCOMPARE(ui().编辑框_入金额->text(), amount);
    if (table == "ok")
        QCOMPARE(memberCount(tablePath()), int(mixedMembers().size()));
    else if (table == "missing")
        QVERIFY(!QFile::exists(tablePath()));
}

void TestAddPage::newMember_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("gender");
    QTest::addColumn<QString>("visits");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("storedBalance");
    QTest::addColumn<bool>("byButton"); // after a card check, else Enter in the amount box at once
    QTest::newRow("count card") << 0 << 1 << "5" << "30" << "" << false;
    QTest::newRow("count card after a check") << 0 << 0 << "5" << "30.50" << "" << true;
    QTest::newRow("stored-value card keeps a typed count") << 1 << 0 << "2" << "100" << "100" << false;
    QTest::newRow("unlimited card") << 2 << 1 << "" << "-1" << "-1" << true;
}

void TestAddPage::newMember() {
    QFETCH(int, type);
    QFETCH(int, gender);
    QFETCH(QString, visits);
    QFETCH(QString, amount);
    QFETCH(QString, storedBalance);
    QFETCH(bool, byButton);
    const QList<MemberRow> members = mixedMembers();
    QVERIFY(makeMemberTable(tablePath(), members));
    if (byButton) {
        scan("5555");
        QCOMPARE(ui().按钮_添加会员->text(), QStringLiteral("添加会员"));
    }
    fillPage("5555", "新 会员", "135-1", type, visits, amount);
    ui().组合框_入性别->setCurrentIndex(gender);
    const QString typeText = ui().组合框_入类型->currentText();

    if (byButton)
        QTest::mouseClick(ui().按钮_添加会员, Qt::LeftButton);
    else
        pressEnter(ui().编辑框_入金额);

    const QString summary = "会员卡号：5555\r\n会员姓名：新 会员\r\n会员电话号：135-1\r\n会员卡类型：" + typeText +
                            "\r\n新会员已添加完成，请到刷卡界面查看";
    QCOMPARE(m_boxes->texts(), QStringList{summary});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::NoIcon);
    const int count = int(members.size()) + 1;
    QCOMPARE(memberCount(tablePath()), count);
    const QStringList stored = readMember(tablePath(), count);
    const QStringList expected = {"0",     "5555",         "新 会员", gender ? "女" : "男",
                                  "135-1", typeText,       visits,    storedBalance,
                                  "店长",  amount,         dateText(QDate::currentDate()), ""};
    QCOMPARE(stored, expected);

    Ui::AddPage& u = ui();
    for (QLineEdit* box : {u.编辑框_入会卡号, u.编辑框_入名称, u.编辑框_入手机号, u.编辑框_充值次数, u.编辑框_入金额})
        QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
    QCOMPARE(u.组合框_入类型->currentIndex(), -1);
    QCOMPARE(u.组合框_入性别->currentIndex(), gender);
    QCOMPARE(focusName(), QStringLiteral("编辑框_入会卡号"));
    // The list is reloaded with the new member last.
    m_page->finishListLoad();
    QCOMPARE(list()->rowCount(), count);
    QCOMPARE(list()->cell(count - 1, 1), QStringLiteral("5555"));
    QCOMPARE(u.透明标签_会员加载数据->text(), QStringLiteral("已加载数据完成"));
}

void TestAddPage::topUp_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("switchTo"); // card type chosen by the operator after the check; -1: none
    QTest::addColumn<QString>("visits");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("storedVisits");
    QTest::addColumn<QString>("storedBalance");
    QTest::addColumn<QString>("storedPoints");
    // 1001: count card, 3 visits, 20 points. 1002: stored value 100, 100 points.
    // 1003: unlimited, 100.1, 7.50 points.
    QTest::newRow("stored value 100 + 50") << "1002" << -1 << "" << "50" << "" << "150" << "150";
    QTest::newRow("count card 3 + 10 visits, 20 + 200 points") << "1001" << -1 << "10" << "200" << "13" << ""
                                                               << "220";
    QTest::newRow("negative amount") << "1002" << -1 << "" << "-30" << "" << "70" << "70";
    QTest::newRow("3-0 counts as 3") << "1002" << -1 << "" << "3-0" << "" << "103" << "103";
    QTest::newRow("count card, count 3-0") << "1001" << -1 << "3-0" << "1" << "6" << "" << "21";
    QTest::newRow("no decimal noise") << "1003" << -1 << "" << "-100" << "" << "0.1" << "-92.5";
    QTest::newRow("count card topped up as stored value") << "1001" << 1 << "10" << "40" << "3" << "40" << "60";
    QTest::newRow("duplicate card number: the earlier member") << "1001" << -1 << "1" << "1" << "4" << "" << "21";
}

void TestAddPage::topUp() {
    QFETCH(QString, card);
    QFETCH(int, switchTo);
    QFETCH(QString, visits);
    QFETCH(QString, amount);
    QFETCH(QString, storedVisits);
    QFETCH(QString, storedBalance);
    QFETCH(QString, storedPoints);
    const QList<MemberRow> members = mixedMembers();
    QVERIFY(makeMemberTable(tablePath(), members));
    scan(card);
    const int record = currentMemberRecord();
    QVERIFY(record > 0);
    const QStringList before = readMember(tablePath(), record);
    Ui::AddPage& u = ui();
    if (switchTo >= 0) {
        // The operator picks the other type from the drop-down.
        u.组合框_入类型->setFocus();
        QTest::keyClick(u.组合框_入类型, Qt::Key_Down);
        QCOMPARE(u.组合框_入类型->currentIndex(), switchTo);
        QVERIFY(!u.编辑框_充值次数->isEnabled());
        QCOMPARE(focusName(), QStringLiteral("编辑框_入金额"));
    }
    u.编辑框_充值次数->setText(visits);
    u.编辑框_入金额->setText(amount);

    pressEnter(u.编辑框_入金额);

    QCOMPARE(m_boxes->texts(), QStringList{"充值成功"});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::NoIcon);
    QStringList expected = before;
    expected[FVisits] = storedVisits.isEmpty() ? before[FVisits] : storedVisits;
    expected[FBalance] = storedBalance.isEmpty() ? before[FBalance] : storedBalance;
    expected[FPoints] = storedPoints;
    QCOMPARE(readMember(tablePath(), record), expected);
    QCOMPARE(memberCount(tablePath()), int(members.size()));

    for (QLineEdit* box : {u.编辑框_入会卡号, u.编辑框_入名称, u.编辑框_入手机号, u.编辑框_充值次数, u.编辑框_入金额})
        QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
    QCOMPARE(u.组合框_入类型->currentIndex(), -1);
    QCOMPARE(u.按钮_添加会员->text(), QStringLiteral("添加会员"));
    QCOMPARE(u.透明标签_积分->text(), QString());
    QVERIFY(u.按钮_刷积分->isEnabled());
    QCOMPARE(currentMemberRecord(), record);
    m_page->finishListLoad();
    QCOMPARE(list()->rowCount(), int(members.size()));
    QCOMPARE(list()->cell(record - 1, 9), storedPoints);
}

void TestAddPage::writeFailures_data() {
    QTest::addColumn<QString>("card"); // empty: a new member
    QTest::addColumn<QByteArray>("failing");
    QTest::newRow("top-up, balance") << "1002" << QByteArray("充值金额");
    QTest::newRow("top-up, points after balance") << "1002" << QByteArray("累计积分");
    QTest::newRow("top-up, points after visits") << "1001" << QByteArray("累计积分");
    QTest::newRow("new member, first field") << "" << QByteArray("ID");
    QTest::newRow("new member, last field") << "" << QByteArray("注册时间");
}

void TestAddPage::writeFailures() {
    QFETCH(QString, card);
    QFETCH(QByteArray, failing);
    const QList<MemberRow> members = mixedMembers();
    QVERIFY(makeMemberTable(tablePath(), members));
    if (!card.isEmpty())
        scan(card);
    const int record = card.isEmpty() ? 1 : currentMemberRecord();
    const QStringList before = readMember(tablePath(), record);
    if (card.isEmpty())
        fillPage("6000", "新人", "1", 1, "", "10");
    else
        ui().编辑框_入金额->setText("50"), ui().编辑框_充值次数->setText("1");
    kFailingField = failing.constData();
    RecordStore::instance().setWriteHookForTesting(failingWrite);

    pressEnter(ui().编辑框_入金额);

    QCOMPARE(m_boxes->texts(), QStringList{kWriteFailed});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::Critical);
    RecordStore::instance().setWriteHookForTesting(nullptr);
    RecordStore::instance().closeAll();
    QCOMPARE(memberCount(tablePath()), int(members.size()));
    QCOMPARE(readMember(tablePath(), record), before);
    // Nothing was reset: the operator can try again.
    QVERIFY(!ui().编辑框_入金额->text().isEmpty());
    QCOMPARE(ui().按钮_添加会员->text(), card.isEmpty() ? QStringLiteral("添加会员") : QStringLiteral("会员充值"));
}

void TestAddPage::changedCardNumber_data() {
    QTest::addColumn<QString>("newCard");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("second"); // message after the question; empty: none
    QTest::addColumn<bool>("added");
    QTest::addColumn<bool>("reset");
    QTest::newRow("OK, number of another member") << "1002" << true << "会员卡号重复  不能添加！" << false << false;
    QTest::newRow("OK, new number") << "2000" << true << "summary" << true << true;
    QTest::newRow("Cancel") << "2000" << false << "" << false << true;
}

void TestAddPage::changedCardNumber() {
    QFETCH(QString, newCard);
    QFETCH(bool, ok);
    QFETCH(QString, second);
    QFETCH(bool, added);
    QFETCH(bool, reset);
    const QList<MemberRow> members = mixedMembers();
    QVERIFY(makeMemberTable(tablePath(), members));
    scan("1001");
    QCOMPARE(currentMemberRecord(), 1);
    const QStringList before = readMember(tablePath(), 1);
    Ui::AddPage& u = ui();
    u.编辑框_入会卡号->setText(newCard);
    u.编辑框_充值次数->setText("4");
    u.编辑框_入金额->setText("8");
    m_boxes->queueAnswers({ok});

    pressEnter(u.编辑框_入金额);

    QVERIFY(!m_boxes->seen().isEmpty());
    const SeenBox question = m_boxes->seen()[0];
    QCOMPARE(question.text, kQuestion);
    QCOMPARE(question.icon, QMessageBox::Warning);
    QVERIFY(question.hasCancel);
    QCOMPARE(m_boxes->seen().size(), second.isEmpty() ? 1 : 2);
    if (second == "summary") {
        QVERIFY(m_boxes->seen()[1].text.startsWith("会员卡号：" + newCard + "\r\n会员姓名：张三\r\n"));
        QCOMPARE(m_boxes->seen()[1].icon, QMessageBox::NoIcon);
    } else if (!second.isEmpty()) {
        QCOMPARE(m_boxes->seen()[1].text, second);
        QCOMPARE(m_boxes->seen()[1].icon, QMessageBox::Critical);
    }
    QCOMPARE(readMember(tablePath(), 1), before);
    QCOMPARE(memberCount(tablePath()), int(members.size()) + (added ? 1 : 0));
    if (added) {
        const QStringList stored = readMember(tablePath(), int(members.size()) + 1);
        QCOMPARE(stored[FCard], newCard);
        QCOMPARE(stored[FName], QStringLiteral("张三"));
        QCOMPARE(stored[FVisits], QStringLiteral("4"));
        QCOMPARE(stored[FBalance], QString());
        QCOMPARE(stored[FPoints], QStringLiteral("8"));
    }
    QCOMPARE(u.按钮_添加会员->text(), QStringLiteral("添加会员"));
    QCOMPARE(u.编辑框_入会卡号->text(), reset ? QString() : newCard);
    QCOMPARE(u.编辑框_入名称->text(), reset ? QString() : QStringLiteral("张三"));
    QCOMPARE(u.组合框_入类型->currentIndex(), reset ? -1 : 0);
    // Not reloaded on this path: the list still shows the recognised member alone.
    m_page->finishListLoad();
    QCOMPARE(list()->rowCount(), 1);
    QCOMPARE(u.透明标签_积分->text(), QStringLiteral("20"));
}

// --- points redemption --------------------------------------------------------------------------

void TestAddPage::redeemPoints_data() {
    QTest::addColumn<bool>("recognise");
    QTest::addColumn<QString>("cardAfter"); // the card box when confirming
    QTest::addColumn<QString>("points");    // typed into the redemption box
    QTest::addColumn<QString>("message");   // empty: nothing happens
    QTest::addColumn<QString>("pointsAfter");
    // Member 1002 holds 100 points.
    QTest::newRow("no member recognised") << false << "1002" << "50" << "" << "100";
    QTest::newRow("card number changed") << true << "1003" << "50" << "操作不当 兑换失败" << "100";
    QTest::newRow("same member") << true << "1002" << "50" << "兑换成功" << "50";
    QTest::newRow("all points") << true << "1002" << "100" << "兑换成功" << "0";
    QTest::newRow("nothing typed") << true << "1002" << "" << "兑换成功" << "100";
    QTest::newRow("more than held") << true << "1002" << "101" << "会员积分不足 兑换失败" << "100";
    QTest::newRow("negative") << true << "1002" << "-5" << "兑换积分不能为负数" << "100";
}

void TestAddPage::redeemPoints() {
    QFETCH(bool, recognise);
    QFETCH(QString, cardAfter);
    QFETCH(QString, points);
    QFETCH(QString, message);
    QFETCH(QString, pointsAfter);
    const QList<MemberRow> members = mixedMembers();
    QVERIFY(makeMemberTable(tablePath(), members));
    Ui::AddPage& u = ui();
    if (recognise) {
        scan("1002");
        QVERIFY(u.按钮_刷积分->isEnabled());
    } else {
        setCurrentMemberRecord(2);
    }
    u.编辑框_入会卡号->setText(cardAfter);
    u.编辑框_刷积分->setText(points);
    u.编辑框_入金额->setText("9");
    QStringList expected = readMember(tablePath(), 2);
    expected[FPoints] = pointsAfter;

    if (recognise)
        pressEnter(u.编辑框_刷积分);
    else
        m_page->redeemPoints(); // the button and box are still disabled

    QCOMPARE(m_boxes->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::NoIcon);
    // Only the points change, and only on success.
    QCOMPARE(readMember(tablePath(), 2), expected);
    const bool done = message == "兑换成功";
    QCOMPARE(u.编辑框_入会卡号->text(), done ? QString() : cardAfter);
    QCOMPARE(u.编辑框_刷积分->text(), done ? QString() : points);
    QCOMPARE(u.编辑框_入金额->text(), done ? QString() : QStringLiteral("9"));
    QCOMPARE(u.编辑框_入名称->text(), done || !recognise ? QString() : QStringLiteral("李四"));
    QCOMPARE(u.按钮_添加会员->text(), recognise && !done ? QStringLiteral("会员充值") : QStringLiteral("添加会员"));
    QCOMPARE(u.透明标签_积分->text(), recognise && !done ? QStringLiteral("100") : QString());
    if (done) {
        // Reloaded on the spot, before the message.
        QCOMPARE(list()->rowCount(), int(members.size()));
        QCOMPARE(u.透明标签_会员加载数据->text(), QStringLiteral("已加载数据完成"));
        QCOMPARE(list()->cell(1, 9), pointsAfter);
        QVERIFY(u.按钮_刷积分->isEnabled());
        // Again: nothing, the page is back in new-member mode.
        m_boxes->clear();
        u.编辑框_入会卡号->setText("1002");
        u.编辑框_刷积分->setText("10");
        pressEnter(u.编辑框_刷积分);
        QVERIFY(m_boxes->seen().isEmpty());
        QCOMPARE(readMember(tablePath(), 2), expected);
    } else {
        QCOMPARE(list()->rowCount(), recognise ? 1 : 0);
    }
}

void TestAddPage::redeemWriteFailure() {
    QVERIFY(makeMemberTable(tablePath(), mixedMembers()));
    scan("1002");
    const QStringList before = readMember(tablePath(), 2);
    ui().编辑框_刷积分->setText("30");
    kFailingField = "累计积分";
    RecordStore::instance().setWriteHookForTesting(failingWrite);
    pressEnter(ui().编辑框_刷积分);
    RecordStore::instance().setWriteHookForTesting(nullptr);
    QCOMPARE(m_boxes->texts(), QStringList{kWriteFailed});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::Critical);
    RecordStore::instance().closeAll();
    QCOMPARE(readMember(tablePath(), 2), before);
    QCOMPARE(ui().编辑框_刷积分->text(), QStringLiteral("30"));
    QCOMPARE(ui().按钮_添加会员->text(), QStringLiteral("会员充值"));
}

// --- card type ----------------------------------------------------------------------------------

void TestAddPage::cardTypeSelection() {
    Ui::AddPage& u = ui();
    u.编辑框_充值次数->setText("7");
    u.组合框_入类型->setFocus();
    QTest::keyClick(u.组合框_入类型, Qt::Key_Down);
    QCOMPARE(u.组合框_入类型->currentText(), QStringLiteral("储蓄卡"));
    QVERIFY(!u.编辑框_充值次数->isEnabled());
    QCOMPARE(focusName(), QStringLiteral("编辑框_入金额"));
    QTest::keyClick(u.组合框_入类型, Qt::Key_Down);
    QCOMPARE(u.组合框_入类型->currentText(), QStringLiteral("无限卡"));
    QVERIFY(!u.编辑框_充值次数->isEnabled());
    u.组合框_入类型->setFocus();
    QTest::keyClick(u.组合框_入类型, Qt::Key_Home);
    QCOMPARE(u.组合框_入类型->currentText(), QStringLiteral("次卡"));
    QVERIFY(u.编辑框_充值次数->isEnabled());
    QCOMPARE(focusName(), QStringLiteral("编辑框_充值次数"));
    QCOMPARE(u.编辑框_充值次数->text(), QStringLiteral("7"));
    // A choice made by the program is no operator's selection.
    u.组合框_入类型->setCurrentIndex(1);
    QVERIFY(u.编辑框_充值次数->isEnabled());

    // The Enter chain through the boxes.
    u.编辑框_入名称->setFocus();
    pressEnter(u.编辑框_入名称);
    QCOMPARE(focusName(), QStringLiteral("编辑框_入手机号"));
    pressEnter(u.编辑框_入手机号);
    QCOMPARE(focusName(), QStringLiteral("编辑框_入金额"));
    u.编辑框_充值次数->setFocus();
    QTest::keyClick(u.编辑框_充值次数, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(focusName(), QStringLiteral("编辑框_入金额"));
    QVERIFY(m_boxes->seen().isEmpty());
}

// --- input rules --------------------------------------------------------------------------------

void TestAddPage::numberBoxesDropLetters_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    for (const char* box : {"编辑框_入会卡号", "编辑框_入手机号", "编辑框_充值次数", "编辑框_入金额", "编辑框_刷积分"}) {
        QTest::newRow(box) << box << "1a-2B.3 +x-" << "1-23-";
    }
    QTest::newRow("name box takes anything") << "编辑框_入名称" << "1a-2B.3 +x-" << "1a-2B.3 +x-";
}

void TestAddPage::numberBoxesDropLetters() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto* edit = m_page->findChild<QLineEdit*>(box);
    QVERIFY(edit);
    edit->setEnabled(true);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    // Control keys still work.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), shown.chopped(1));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(edit->hasSelectedText());
    // An input method's text is judged as typed text.
    edit->clear();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("１2x"));
    QCoreApplication::sendEvent(edit, &commit);
    QCOMPARE(edit->text(), box == "编辑框_入名称" ? QStringLiteral("１2x") : QString());
    QInputMethodEvent digits;
    digits.setCommitString(QStringLiteral("-12"));
    QCoreApplication::sendEvent(edit, &digits);
    QVERIFY(edit->text().endsWith("-12"));
}

void TestAddPage::pasteAndMenuSwallowed_data() {
    QTest::addColumn<QString>("box");
    for (const char* box :
         {"编辑框_入会卡号", "编辑框_入名称", "编辑框_入手机号", "编辑框_充值次数", "编辑框_入金额", "编辑框_刷积分"})
        QTest::newRow(box) << box;
}

void TestAddPage::pasteAndMenuSwallowed() {
    QFETCH(QString, box);
    auto* edit = m_page->findChild<QLineEdit*>(box);
    QVERIFY(edit);
    edit->setEnabled(true);
    QGuiApplication::clipboard()->setText(QStringLiteral("123"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString());
    // Another paste shortcut is judged by the box's rule: digits pass.
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(edit->text(), QStringLiteral("123"));
    QGuiApplication::clipboard()->setText(QStringLiteral("ab"));
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(edit->text(), box == "编辑框_入名称" ? QStringLiteral("123ab") : QStringLiteral("123"));

    // The right button opens no menu, whereas a plain box would.
    QLineEdit plain;
    plain.show();
    QContextMenuEvent plainMenu(QContextMenuEvent::Mouse, QPoint(5, 5), plain.mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(&plain, &plainMenu);
    QVERIFY(QApplication::activePopupWidget());
    QApplication::activePopupWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!QApplication::activePopupWidget());

    QTest::mouseClick(edit, Qt::RightButton);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(edit, &menu);
    QVERIFY(!QApplication::activePopupWidget());
}

void TestAddPage::gbkLimit_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed"); // each character typed in turn
    QTest::addColumn<QString>("shown");
    const QString fifteen(15, QChar(0x5F20)); // 张: two GBK bytes
    QTest::newRow("15 Chinese characters fill 30 bytes") << "编辑框_入名称" << "" << fifteen + "张a" << fifteen;
    QTest::newRow("one byte left: ASCII only") << "编辑框_入名称" << QString(14, QChar(0x5F20)) + "a" << "张bc"
                                               << QString(14, QChar(0x5F20)) + "ab";
    QTest::newRow("30 digits in the card box") << "编辑框_入会卡号" << QString(29, '1') << "23" << QString(29, '1') + "2";
    QTest::newRow("phone box") << "编辑框_入手机号" << QString(30, '1') << "2" << QString(30, '1');
    QTest::newRow("count box") << "编辑框_充值次数" << QString(30, '1') << "2" << QString(30, '1');
    QTest::newRow("amount box") << "编辑框_入金额" << QString(30, '1') << "2" << QString(30, '1');
    QTest::newRow("no GBK form") << "编辑框_入名称" << "a" << QStringLiteral("\U0001F600한b") << "ab";
    QTest::newRow("full-width forms are GBK") << "编辑框_入名称" << "" << "ＡＢ　１" << "ＡＢ　１";
}

void TestAddPage::gbkLimit() {
    QFETCH(QString, box);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto* edit = m_page->findChild<QLineEdit*>(box);
    QVERIFY(edit);
    edit->setText(before);
    // Characters are sent one key event at a time, as a keyboard or input method types them.
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const qsizetype n = typed.at(i).isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, typed.mid(i, n), Qt::NoModifier);
        i += n - 1;
    }
    QCOMPARE(edit->text(), shown);
    // Replacing the whole text by something shorter is fine.
    edit->selectAll();
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("1"), Qt::NoModifier);
    QCOMPARE(edit->text(), QStringLiteral("1"));
    // So is deleting.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString());
}

void TestAddPage::dialogOpeners() {
    QVERIFY(makeMemberTable(tablePath(), mixedMembers()));
    scan("1001");
    // Unset: the buttons do nothing.
    QTest::mouseClick(ui().按钮_会员信息修改, Qt::LeftButton);
    QTest::mouseClick(ui().按钮_注销会员, Qt::LeftButton);
    QStringList opened;
    m_page->setDialogOpeners([&] { opened << "modify"; }, [&] { opened << "cancel"; });
    QTest::mouseClick(ui().按钮_会员信息修改, Qt::LeftButton);
    QTest::mouseClick(ui().按钮_注销会员, Qt::LeftButton);
    QCOMPARE(opened, QStringList({"modify", "cancel"}));
}

// --- threads ------------------------------------------------------------------------------------

void TestAddPage::fillsDoNotInterleave_data() {
    QTest::addColumn<QString>("steps"); // L: load on the worker, C: card check, N: load on the GUI thread
    QTest::addColumn<QString>("result"); // "member": the check's row alone, "all": every member
    QTest::newRow("check during a load") << "LC" << "member";
    QTest::newRow("load after a check") << "CL" << "all";
    QTest::newRow("two loads") << "LL" << "all";
    QTest::newRow("direct load during a worker load") << "LN" << "all";
    QTest::newRow("direct load after a check") << "CN" << "all";
    QTest::newRow("two checks during loads") << "LCLC" << "member";
}

void TestAddPage::fillsDoNotInterleave() {
    QFETCH(QString, steps);
    QFETCH(QString, result);
    const int n = 2600;
    QVERIFY(makeMemberTable(tablePath(), numberedMembers(n, 1)));
    const QStringList record1200 = readMember(tablePath(), 1200);
    RecordStore::instance().closeAll();

    for (QChar step : steps) {
        if (step == 'L') {
            m_page->restartListLoad();
        } else if (step == 'N') {
            m_page->loadMemberListNow();
        } else {
            ui().编辑框_入会卡号->setText(QStringLiteral("1200"));
            pressEnter(ui().编辑框_入会卡号);
        }
    }
    m_page->settleCardChecks();
    m_page->finishListLoad();

    QVERIFY(m_boxes->seen().isEmpty());
    if (result == "member") {
        QCOMPARE(list()->rowCount(), 1);
        QCOMPARE(list()->cell(0, 0), QStringLiteral("0"));
        QCOMPARE(list()->cell(0, 1), QStringLiteral("1200"));
        QCOMPARE(ui().透明标签_会员加载数据->text(), QStringLiteral("欢迎次卡会员充值"));
        QCOMPARE(ui().进度条1->value(), n);
    } else {
        QCOMPARE(list()->rowCount(), n);
        for (int r = 0; r < n; ++r) {
            QCOMPARE(list()->cell(r, 0), QString::number(r));
            QCOMPARE(list()->cell(r, 1), QString::number(r + 1));
        }
        QCOMPARE(ui().透明标签_会员加载数据->text(), QStringLiteral("已加载数据完成"));
        QCOMPARE(ui().进度条1->value(), n);
    }
    if (steps.contains('C')) {
        QCOMPARE(currentMemberRecord(), 1200);
        QCOMPARE(ui().编辑框_入名称->text(), QStringLiteral("会员1200"));
    }
    QCOMPARE(ui().进度条1->maximum(), n);
    // The store is where every reader left it: the member table, unchanged.
    QVERIFY(RecordStore::instance().currentFile().compare(tablePath(), Qt::CaseInsensitive) == 0);
    QCOMPARE(memberCount(tablePath()), n);
    QCOMPARE(readMember(tablePath(), 1200), record1200);
}

QTEST_MAIN(TestAddPage)
#include "TestAddPage.moc"
