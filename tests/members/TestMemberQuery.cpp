// The member query through the real swipe page, on the member worker; and swipes made while
// the worker reads the member table.
#include "app/MainWindow.h"
#include "members/AddPage.h"
#include "members/MemberListModel.h"
#include "members/MemberTable.h"
#include "members/MemberWorker.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_SwipePage.h"

#include <QtTest>

#include <atomic>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QList<OperatorRow> kOperators = {{QStringLiteral("店长"), QStringLiteral("1")}};

MemberRow person(const QString& card, const QString& name, const QString& phone) {
    MemberRow m;
    m.card = card;
    m.name = name;
    m.phone = phone;
    m.type = QStringLiteral("储蓄卡");
    m.balance = QStringLiteral("10");
    m.swipes = QStringLiteral("2");
    m.signUp = QStringLiteral("2019年1月2日");
    return m;
}

// Five members; two share the name "张三".
QList<MemberRow> fiveMembers() {
    return {person("1001", "张三", "13800000001"), person("1002", "李四", "13800000002"),
            person("1003", "张三", "13800000003"), person("1004", "王五", "13800000004"),
            person("1005", "赵六", "13800000005")};
}

const QString kSearching = QStringLiteral("正在核实数据，请稍候操作");
const QString kFound = QStringLiteral("已核实数据完成");

} // namespace

class TestMemberQuery : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void found_data();
    void found();
    void notFound_data();
    void notFound();
    void emptyBox_data();
    void emptyBox();
    void emptyTable();
    void missingTable();
    void kindChoiceMovesFocus();
    void queriesFillTheListOneAfterAnother();
    void swipesWhileTheWorkerReads();

private:
    bool open(const QList<MemberRow>& members);
    Ui::SwipePage& ui() { return f->swipe().ui(); }
    MemberListModel& list() { return f->swipe().swipeList(); }
    void query(int kind, const QString& text, bool byEnter);

    std::unique_ptr<PagesFixture> f;
};

void TestMemberQuery::cleanup() {
    f.reset();
}

bool TestMemberQuery::open(const QList<MemberRow>& members) {
    f = std::make_unique<PagesFixture>();
    if (!f->start(kOperators, members, QStringLiteral("店长"), QStringLiteral("1")))
        return false;
    f->main().onToolbarClick(4);
    return true;
}

void TestMemberQuery::query(int kind, const QString& text, bool byEnter) {
    ui().组合框_会员信息查询类型->setCurrentIndex(kind);
    ui().编辑框_查询内容->setText(text);
    if (byEnter)
        QTest::keyClick(ui().编辑框_查询内容, Qt::Key_Return);
    else
        ui().按钮_会员信息查询->click();
}

void TestMemberQuery::found_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("card");
    QTest::newRow("card, first record") << 0 << "1001" << false << "0" << "1001";
    QTest::newRow("card, fifth record") << 0 << "1005" << true << "4" << "1005";
    QTest::newRow("name, first of two") << 1 << "张三" << false << "0" << "1001";
    QTest::newRow("name") << 1 << "李四" << true << "1" << "1002";
    QTest::newRow("phone") << 2 << "13800000003" << false << "2" << "1003";
}

void TestMemberQuery::found() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, byEnter);
    QFETCH(QString, id);
    QFETCH(QString, card);
    QVERIFY(open(fiveMembers()));
    list().appendRow(QStringLiteral("9"), {QStringLiteral("earlier row")});

    // The focus is back in the card box before the query has even run.
    ui().编辑框_查询内容->setFocus();
    QVERIFY(f->main().isActiveWindow());
    query(kind, text, byEnter);
    QCOMPARE(QApplication::focusWidget(), ui().编辑框_刷卡号);
    f->settle();

    QVERIFY(f->boxes().seen().isEmpty());
    QCOMPARE(list().rowCount(), 1);
    QCOMPARE(list().cell(0, 0), id);
    QCOMPARE(list().cell(0, 1), card);
    QCOMPARE(list().cell(0, 7), QStringLiteral("10"));
    QCOMPARE(list().cell(0, 8), QStringLiteral("2"));
    QCOMPARE(list().cell(0, 10), QStringLiteral("2019年1月2日"));
    QCOMPARE(ui().透明标签_会员刷卡加载->text(), kFound);
    QCOMPARE(ui().进度条2->maximum(), 5);
    QCOMPARE(ui().进度条2->value(), 5);
}

void TestMemberQuery::notFound_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("part of a card number") << 0 << "100" << "您要查询的会员卡号没有找到 ！\r\n如果忘记请选择其它方式";
    QTest::newRow("card number with a space") << 0 << "1001 " << "您要查询的会员卡号没有找到 ！\r\n如果忘记请选择其它方式";
    QTest::newRow("part of a name") << 1 << "张" << "您要查询的会员名称没有找到 ！\r\n如果忘记请选择其它方式";
    QTest::newRow("a card number as name") << 1 << "1001" << "您要查询的会员名称没有找到 ！\r\n如果忘记请选择其它方式";
    QTest::newRow("part of a phone number") << 2 << "1380000000" << "您要查询的会员通讯没有找到 ！\r\n如果忘记请选择其它方式";
}

void TestMemberQuery::notFound() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QVERIFY(open(fiveMembers()));
    list().appendRow(QStringLiteral("9"), {QStringLiteral("earlier row")});

    query(kind, text, false);
    f->settle();

    QCOMPARE(f->boxes().texts(), QStringList{message});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::Information);
    QCOMPARE(list().rowCount(), 0);
    QCOMPARE(ui().透明标签_会员刷卡加载->text(), kSearching);
    QCOMPARE(ui().进度条2->maximum(), 5);
    QCOMPARE(ui().进度条2->value(), 5);
}

void TestMemberQuery::emptyBox_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("card number") << 0 << "请输入您要查询的会员卡号";
    QTest::newRow("name") << 1 << "请输入您要查询的会员名称";
    QTest::newRow("phone") << 2 << "请输入您要查询的会员通讯号码";
}

void TestMemberQuery::emptyBox() {
    QFETCH(int, kind);
    QFETCH(QString, message);
    QVERIFY(open(fiveMembers()));
    query(1, QStringLiteral("李四"), false);
    f->settle();
    QCOMPARE(list().rowCount(), 1);

    query(kind, QString(), true);
    f->settle();

    QCOMPARE(f->boxes().texts(), QStringList{message});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::Information);
    // The list and the progress keep the previous query's result.
    QCOMPARE(list().rowCount(), 1);
    QCOMPARE(list().cell(0, 1), QStringLiteral("1002"));
    QCOMPARE(ui().透明标签_会员刷卡加载->text(), kFound);
}

void TestMemberQuery::emptyTable() {
    QVERIFY(open({}));
    list().appendRow(QStringLiteral("9"), {QStringLiteral("earlier row")});
    query(0, QStringLiteral("1001"), false);
    f->settle();
    QVERIFY(f->boxes().seen().isEmpty());
    QCOMPARE(list().rowCount(), 0);
    QCOMPARE(ui().透明标签_会员刷卡加载->text(), kSearching);
    QCOMPARE(ui().进度条2->value(), 0);
}

void TestMemberQuery::missingTable() {
    QVERIFY(open(fiveMembers()));
    RecordStore::instance().closeAll();
    QVERIFY(QFile::remove(f->memberPath()));
    list().appendRow(QStringLiteral("9"), {QStringLiteral("earlier row")});
    query(0, QStringLiteral("1001"), false);
    f->settle();
    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("数据库文件已丢失")});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::NoIcon);
    QCOMPARE(list().rowCount(), 1);
    QCOMPARE(ui().透明标签_会员刷卡加载->text(), QStringLiteral("查询进度提示"));
}

void TestMemberQuery::kindChoiceMovesFocus() {
    QVERIFY(open(fiveMembers()));
    QCOMPARE(ui().组合框_会员信息查询类型->currentIndex(), 0);
    QCOMPARE(ui().组合框_会员信息查询类型->count(), 3);
    QCOMPARE(ui().组合框_会员信息查询类型->itemText(2), QStringLiteral("手机号码查询"));
    ui().编辑框_刷卡号->setFocus();
    // Choosing an item from the list, as the operator does.
    QComboBox* combo = ui().组合框_会员信息查询类型;
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(QApplication::focusWidget(), ui().编辑框_查询内容);
}

void TestMemberQuery::queriesFillTheListOneAfterAnother() {
    QVERIFY(open(fiveMembers()));
    // Three queries in a row: each ends before the next begins, so the list holds the last
    // query's result alone and the messages come in the order asked.
    query(1, QStringLiteral("张三"), false);
    query(1, QStringLiteral("无此人"), true);
    query(2, QStringLiteral("13800000004"), false);
    f->settle();
    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("您要查询的会员名称没有找到 ！\r\n如果忘记请选择其它方式")});
    QCOMPARE(list().rowCount(), 1);
    QCOMPARE(list().cell(0, 0), QStringLiteral("3"));
    QCOMPARE(list().cell(0, 1), QStringLiteral("1004"));
    QCOMPARE(ui().透明标签_会员刷卡加载->text(), kFound);
}

void TestMemberQuery::swipesWhileTheWorkerReads() {
    QList<MemberRow> members = numberedMembers(3000);
    for (MemberRow& m : members) {
        m.type = QStringLiteral("次卡");
        m.visits = QStringLiteral("50");
    }
    QVERIFY(open(members));
    const QStringList neighbourBefore = f->member(1499);
    const QStringList nextBefore = f->member(1501);

    // The worker reads the table meanwhile: a list load, two queries, then a reader that keeps
    // moving the current record about until the swipes are over.
    f->main().onToolbarClick(2);
    f->main().onToolbarClick(4);
    query(0, QString::number(1500), false);
    query(1, QStringLiteral("会员2999"), false);
    std::atomic<bool> stop{false};
    MemberWorker::instance().post(MemberWorker::Kind::Other, [&stop](const std::atomic<bool>&) {
        RecordStore& store = RecordStore::instance();
        for (int i = 0, n = 0; !stop || n < 200; i = (i + 7) % 3000, ++n) {
            RecordStore::Lock lock(store);
            if (members::openMemberTableQuietly() != members::OpenResult::Ready)
                return;
            store.goToRecord(i + 1);
            store.readField(members::kFieldVisits);
        }
    });

    ui().选择框_自动刷卡->click();
    const int swipes = 12;
    for (int i = 0; i < swipes; ++i) {
        ui().编辑框_刷卡号->setText(QString::number(1500));
        QTest::keyClick(ui().编辑框_刷卡号, Qt::Key_Return);
    }
    stop = true;
    f->settle();

    int done = 0;
    for (const QString& text : f->boxes().texts())
        done += text == QStringLiteral("刷卡成功");
    QCOMPARE(done, swipes);
    const QStringList after = f->member(1500);
    QCOMPARE(after.value(VCard), QStringLiteral("1500"));
    QCOMPARE(after.value(VVisits), QString::number(50 - swipes));
    QCOMPARE(after.value(VSwipes), QString::number(swipes));
    QCOMPARE(f->member(1499), neighbourBefore);
    QCOMPARE(f->member(1501), nextBefore);
}

QTEST_MAIN(TestMemberQuery)
#include "TestMemberQuery.moc"
