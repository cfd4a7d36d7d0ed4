// The member history through the real pages: every operation that changes a member leaves
// exactly one entry with the values before and after, written together with the change or not
// at all; refusals leave none.
#include "app/MainWindow.h"
#include "members/AddPage.h"
#include "members/History.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_AddPage.h"
#include "ui_SwipePage.h"

#include <QFile>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;
namespace history = quorvel::members::history;

namespace {

const QString kWriteFailed = QStringLiteral("数据库写入失败，本次操作未保存");
const QDateTime kNow(QDate(2024, 5, 1), QTime(10, 15, 30));

QList<MemberRow> threeMembers() {
    QList<MemberRow> rows(3);
    const char* types[3] = {"次卡", "储蓄卡", "无限卡"};
    for (int i = 0; i < 3; ++i) {
        MemberRow& m = rows[i];
        m.card = QString::number(i + 1);
        m.name = QStringLiteral("会员%1").arg(i + 1);
        m.phone = QStringLiteral("1380000000%1").arg(i + 1);
        m.type = QString::fromUtf8(types[i]);
        m.visits = i == 0 ? QStringLiteral("5") : QString();
        m.balance = i == 0 ? QString() : QStringLiteral("100");
        m.operatorName = QStringLiteral("店长");
        m.points = i == 2 ? QStringLiteral("40") : QStringLiteral("100");
        m.signUp = QStringLiteral("2018年3月5日");
        m.swipes = QStringLiteral("4");
    }
    return rows;
}

// The history's entries in the order they were appended, read through a store of their own.
QList<QStringList> storedEntries(const QString& path) {
    QList<QStringList> out;
    if (!QFile::exists(path))
        return out;
    RecordStore store;
    if (!store.openTable(path, kTablePassword, history::historyFields()))
        return {{QStringLiteral("unreadable")}};
    for (int n = 1; n <= store.recordCount(); ++n) {
        store.goToRecord(n);
        out.append(store.readRecord());
    }
    return out;
}

QString g_failingField;
bool failNamedWrite(const QString& field) {
    return field != g_failingField;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void eachOperationLeavesOneEntry_data();
    void eachOperationLeavesOneEntry();
    void refusalsLeaveNoEntry_data();
    void refusalsLeaveNoEntry();
    void interruptedWriteLeavesNeither_data();
    void interruptedWriteLeavesNeither();
    void entriesFollowEachOther();
    void unusableHistoryRefusesTheChange_data();
    void unusableHistoryRefusesTheChange();

  private:
    bool start();
    // Runs the operation named action through the pages, as an operator does it.
    void run(const QString& action);
    void recognise(const QString& card);
    void swipe(const QString& card, const QString& amount, bool automatic);
    void confirmDialog(const QString& window, QAbstractButton* opener);
    QString historyPath() const { return f->dir() + QStringLiteral("/mxjl.dat"); }
    Ui::AddPage& add() { return f->add().ui(); }
    Ui::SwipePage& swipePage() { return f->swipe().ui(); }

    std::unique_ptr<PagesFixture> f;
};

void TestHistory::init() {
    history::setClockForTesting([] { return kNow; });
}

void TestHistory::cleanup() {
    f.reset();
    g_failingField.clear();
    history::setClockForTesting({});
}

bool TestHistory::start() {
    f = std::make_unique<PagesFixture>();
    return f->start({{"店长", "1", true}}, threeMembers(), "店长", "1");
}

void TestHistory::recognise(const QString& card) {
    f->main().onToolbarClick(2);
    f->settle();
    add().编辑框_入会卡号->setText(card);
    QTest::keyClick(add().编辑框_入会卡号, Qt::Key_Return);
    f->settle();
}

void TestHistory::swipe(const QString& card, const QString& amount, bool automatic) {
    f->main().onToolbarClick(4);
    if (automatic != swipePage().选择框_自动刷卡->isChecked())
        swipePage().选择框_自动刷卡->click();
    swipePage().编辑框_刷卡号->setText(card);
    QTest::keyClick(swipePage().编辑框_刷卡号, Qt::Key_Return);
    if (!automatic) {
        swipePage().编辑框_刷去金额->setText(amount);
        swipePage().按钮_手动刷卡->click();
    }
}

void TestHistory::confirmDialog(const QString& window, QAbstractButton* opener) {
    f->runDialog(opener, window, [](QDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_验证密码")), "1");
        QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_验证密码")), Qt::Key_Return);
    });
}

void TestHistory::run(const QString& action) {
    if (action == "top-up money") {
        recognise("2");
        add().编辑框_入金额->setText("50");
        add().按钮_添加会员->click();
    } else if (action == "top-up count") {
        recognise("1");
        add().编辑框_充值次数->setText("3");
        add().编辑框_入金额->setText("30");
        add().按钮_添加会员->click();
    } else if (action == "swipe count") {
        swipe("1", QString(), true);
    } else if (action == "swipe count by hand") {
        swipe("1", QString(), false);
    } else if (action == "swipe money") {
        swipe("2", "30", false);
    } else if (action == "swipe unlimited") {
        swipe("3", "100", false);
    } else if (action == "redeem") {
        recognise("2");
        add().编辑框_刷积分->setText("40");
        add().按钮_刷积分->click();
    } else if (action == "new member") {
        recognise("9");
        add().编辑框_入名称->setText("新人");
        add().编辑框_入手机号->setText("139");
        add().组合框_入类型->setCurrentIndex(1);
        add().编辑框_入金额->setText("200");
        add().按钮_添加会员->click();
    } else if (action == "modification") {
        recognise("2");
        add().编辑框_入名称->setText("改名");
        confirmDialog("ModifyMemberWindow", add().按钮_会员信息修改);
    } else if (action == "cancellation") {
        recognise("3");
        confirmDialog("CancelMemberWindow", add().按钮_注销会员);
    } else if (action == "changed card, modification") {
        recognise("2");
        add().编辑框_入会卡号->setText("77");
        add().编辑框_入金额->setText("25");
        confirmDialog("ModifyMemberWindow", add().按钮_会员信息修改);
    } else if (action == "changed card, cancellation") {
        recognise("2");
        add().编辑框_入会卡号->setText("78");
        confirmDialog("CancelMemberWindow", add().按钮_注销会员);
    } else {
        QFAIL(qPrintable(action));
    }
    f->settle();
}

void TestHistory::eachOperationLeavesOneEntry_data() {
    QTest::addColumn<QString>("action");
    // The entry's values after the time and the operator: card, name, kind, amount, then the
    // visits, balance and points before and after.
    QTest::addColumn<QStringList>("entry");
    // clang-format off
    QTest::newRow("top-up money")        << "top-up money"        << QStringList{"2", "会员2", "充值", "50", "", "", "100", "150", "100", "150"};
    QTest::newRow("top-up count")        << "top-up count"        << QStringList{"1", "会员1", "充值", "30", "5", "8", "", "", "100", "130"};
    QTest::newRow("swipe count")         << "swipe count"         << QStringList{"1", "会员1", "刷卡", "1", "5", "4", "", "", "100", "100"};
    QTest::newRow("swipe count by hand") << "swipe count by hand" << QStringList{"1", "会员1", "刷卡", "1", "5", "4", "", "", "100", "100"};
    QTest::newRow("swipe money")         << "swipe money"         << QStringList{"2", "会员2", "刷卡", "30", "", "", "100", "70", "100", "100"};
    QTest::newRow("swipe unlimited")     << "swipe unlimited"     << QStringList{"3", "会员3", "刷卡", "100", "", "", "100", "0", "40", "40"};
    QTest::newRow("redeem")              << "redeem"              << QStringList{"2", "会员2", "积分兑换", "40", "", "", "100", "100", "100", "60"};
    QTest::newRow("new member")          << "new member"          << QStringList{"9", "新人", "新会员", "200", "", "", "", "200", "", "200"};
    QTest::newRow("modification")        << "modification"        << QStringList{"2", "改名", "修改", "", "", "", "100", "100", "100", "100"};
    QTest::newRow("cancellation")        << "cancellation"        << QStringList{"3", "会员3", "注销", "", "", "", "100", "", "40", ""};
    QTest::newRow("changed card, modification") << "changed card, modification" << QStringList{"77", "会员2", "新会员(改卡号)", "25", "", "", "", "25", "", "25"};
    QTest::newRow("changed card, cancellation") << "changed card, cancellation" << QStringList{"78", "会员2", "新会员(改卡号)", "", "", "", "", "", "", ""};
    // clang-format on
}

void TestHistory::eachOperationLeavesOneEntry() {
    QFETCH(QString, action);
    QFETCH(QStringList, entry);
    QVERIFY(start());
    run(action);
    QVERIFY2(!f->boxes().texts().contains(kWriteFailed), qPrintable(f->boxes().texts().join('|')));
    const QList<QStringList> stored = storedEntries(historyPath());
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0], QStringList({"2024-05-01 10:15:30", "店长"}) + entry);
}

void TestHistory::refusalsLeaveNoEntry_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("visits");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<QString>("amount");
    QTest::newRow("no visits left") << "1"
                                    << "0"
                                    << ""
                                    << "";
    QTest::newRow("balance short") << "2"
                                   << ""
                                   << "20"
                                   << "30";
    QTest::newRow("no amount") << "2"
                               << ""
                               << "20"
                               << "";
}

void TestHistory::refusalsLeaveNoEntry() {
    QFETCH(QString, card);
    QFETCH(QString, visits);
    QFETCH(QString, balance);
    QFETCH(QString, amount);
    QList<MemberRow> rows = threeMembers();
    rows[card.toInt() - 1].visits = visits;
    rows[card.toInt() - 1].balance = balance;
    f = std::make_unique<PagesFixture>();
    QVERIFY(f->start({{"店长", "1", true}}, rows, "店长", "1"));
    const QStringList before = f->member(card.toInt());
    swipe(card, amount, false);
    QCOMPARE(f->boxes().texts().size(), 1); // the refusal
    QCOMPARE(f->member(card.toInt()), before);
    QCOMPARE(storedEntries(historyPath()), QList<QStringList>{});
}

void TestHistory::interruptedWriteLeavesNeither_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("record");
    // The member's own field failing, or the entry failing once the member's fields are written.
    QTest::newRow("top-up, member write") << "top-up money"
                                          << "累计积分" << 2;
    QTest::newRow("top-up, entry write") << "top-up money"
                                         << "时间" << 2;
    QTest::newRow("count swipe, member write") << "swipe count"
                                               << "充值次数" << 1;
    QTest::newRow("count swipe, entry write") << "swipe count"
                                              << "时间" << 1;
    QTest::newRow("money swipe, member write") << "swipe money"
                                               << "充值金额" << 2;
    QTest::newRow("money swipe, entry write") << "swipe money"
                                              << "时间" << 2;
    QTest::newRow("redeem, entry write") << "redeem"
                                         << "时间" << 2;
    QTest::newRow("modification, entry write") << "modification"
                                               << "时间" << 2;
    QTest::newRow("cancellation, entry write") << "cancellation"
                                               << "时间" << 3;
}

void TestHistory::interruptedWriteLeavesNeither() {
    QFETCH(QString, action);
    QFETCH(QString, failing);
    QFETCH(int, record);
    QVERIFY(start());
    const QStringList before = f->member(record);
    const int count = f->memberCount();
    g_failingField = failing;
    RecordStore::instance().setWriteHookForTesting(failNamedWrite);
    run(action);
    RecordStore::instance().setWriteHookForTesting(nullptr);
    QVERIFY2(f->boxes().texts().contains(kWriteFailed), qPrintable(f->boxes().texts().join('|')));
    QCOMPARE(f->memberCount(), count);
    QCOMPARE(f->member(record), before);
    QCOMPARE(storedEntries(historyPath()), QList<QStringList>{});
}

void TestHistory::entriesFollowEachOther() {
    // Later operations append after the earlier ones; each keeps the values it saw.
    QVERIFY(start());
    run("top-up money");
    run("swipe money");
    run("swipe money");
    const QList<QStringList> stored = storedEntries(historyPath());
    QCOMPARE(stored.size(), 3);
    const QList<QStringList> balances = {{"100", "150"}, {"150", "120"}, {"120", "90"}};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(stored[i].mid(history::ColBalanceBefore, 2), balances[i]);
    QCOMPARE(f->member(2)[VBalance], QStringLiteral("90"));
}

void TestHistory::unusableHistoryRefusesTheChange_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("record");
    QTest::addColumn<QByteArray>("file"); // what stands where the history should be
    const QByteArray garbage(8192, 'z');
    QTest::newRow("top-up, damaged history") << "top-up money" << 2 << garbage;
    QTest::newRow("swipe, damaged history") << "swipe money" << 2 << garbage;
    QTest::newRow("new member, empty history file") << "new member" << 4 << QByteArray();
}

void TestHistory::unusableHistoryRefusesTheChange() {
    // A change that cannot be recorded is not made: the history never misses one.
    QFETCH(QString, action);
    QFETCH(int, record);
    QFETCH(QByteArray, file);
    QVERIFY(start());
    QVERIFY(writeBytes(historyPath(), file));
    const QStringList before = f->member(record);
    const int count = f->memberCount();
    run(action);
    QVERIFY2(f->boxes().texts().contains(kWriteFailed), qPrintable(f->boxes().texts().join('|')));
    QCOMPARE(f->memberCount(), count);
    QCOMPARE(f->member(record), before);
    QCOMPARE(readBytes(historyPath()), file);
}

QTEST_MAIN(TestHistory)
#include "TestHistory.moc"
