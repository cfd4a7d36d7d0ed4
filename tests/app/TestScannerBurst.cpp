// A bar-code scanner types a card number of 13 digits and Enter within a few tens of
// milliseconds, as fast key events to whatever has the focus. The add page and the swipe page
// must take such bursts, card after card, and act on exactly the number scanned each time.
// Cards that differ only in the order of their digits make a lost or reordered key show up as
// the wrong member.
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/MemberListModel.h"
#include "members/MemberTable.h"
#include "members/Session.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/support/Members.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TempRunDir.h"
#include "text/Numbers.h"
#include "ui_AddPage.h"
#include "ui_SwipePage.h"

#include <QApplication>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

enum Field {
    FId,
    FCard,
    FName,
    FGender,
    FPhone,
    FType,
    FVisits,
    FBalance,
    FOperator,
    FPoints,
    FSignUp,
    FSwipes
};

// Record n (1-based) is burstMembers()[n - 1].
QList<MemberRow> burstMembers() {
    return {
        {"6901234567890", "张三", "男", "13800000001", "次卡", "5", "", "店长", "", "2026年1月2日", "0"},
        {"6901234567809", "李四", "女", "13800000002", "次卡", "5", "", "店长", "", "2026年1月3日", "0"},
        {"6901234568790", "王五", "男", "13800000003", "储蓄卡", "", "100", "店长", "", "2026年1月4日", "0"},
        {"9601234567890", "赵六", "女", "13800000004", "无限卡", "", "100", "店长", "", "2026年1月5日", "0"},
        {"6091234567890", "钱七", "男", "13800000005", "储蓄卡", "", "100", "店长", "", "2026年1月6日", "0"},
    };
}

int recordOf(const QString& card) {
    const QList<MemberRow> rows = burstMembers();
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].card == card)
            return i + 1;
    return 0;
}

// What a scanner does: the digits and Enter as key events to the focused window, with nothing
// run in between.
void scan(const QString& card) {
    QTest::keyClicks(nullptr, card);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
}

QString cell(const MemberListModel* list, int row, int column) {
    return list->index(row, column).data().toString();
}

} // namespace

class TestScannerBurst : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();

    void addPageRecognisesEachCard_data();
    void addPageRecognisesEachCard();
    void addPageBurstsBeforeTheChecksEnd();
    void swipePageChargesEachCard_data();
    void swipePageChargesEachCard();

  private:
    void showPage(QWidget* page);
    QString memberPath() const { return m_dir->file(QStringLiteral("thy.dat")); }

    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
};

void TestScannerBurst::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    QVERIFY(makeMemberTable(memberPath(), burstMembers()));
    m_boxes = std::make_unique<MessageBoxWatcher>();
    setLoggedInOperator(QStringLiteral("店长"));
    setCurrentMemberRecord(0);
}

void TestScannerBurst::cleanup() {
    m_boxes.reset();
    RecordStore::instance().closeAll();
    setRunDirectory(QString());
    m_dir.reset();
}

void TestScannerBurst::showPage(QWidget* page) {
    page->show();
    page->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page));
}

// --- add page ------------------------------------------------------------------------------------

void TestScannerBurst::addPageRecognisesEachCard_data() {
    QTest::addColumn<QStringList>("cards");
    const QList<MemberRow> rows = burstMembers();
    QTest::newRow("every member once")
        << QStringList{rows[0].card, rows[1].card, rows[2].card, rows[3].card, rows[4].card};
    QTest::newRow("digits swapped, back and forth")
        << QStringList{rows[1].card, rows[0].card, rows[1].card, rows[4].card, rows[0].card};
    QTest::newRow("unknown cards between members")
        << QStringList{rows[2].card, "6901234567899", rows[2].card, "0000000000000", rows[3].card};
}

void TestScannerBurst::addPageRecognisesEachCard() {
    QFETCH(QStringList, cards);
    AddPage page;
    Ui::AddPage& ui = page.ui();
    showPage(&page);
    const QList<MemberRow> rows = burstMembers();
    for (const QString& card : cards) {
        // The operator clears the card box and puts the focus there, then scans.
        ui.编辑框_入会卡号->clear();
        ui.编辑框_入会卡号->setFocus();
        scan(card);
        page.settleCardChecks();
        QCOMPARE(ui.编辑框_入会卡号->text(), card);
        const int record = recordOf(card);
        if (record == 0) {
            QCOMPARE(ui.透明标签_会员加载数据->text(), QStringLiteral("欢迎新会员加入"));
            QCOMPARE(ui.按钮_添加会员->text(), AddPage::kAddCaption);
            QVERIFY(ui.编辑框_入名称->text().isEmpty());
            QCOMPARE(page.memberList()->rowCount(), 0);
            continue;
        }
        const MemberRow& m = rows[record - 1];
        QCOMPARE(currentMemberRecord(), record);
        QCOMPARE(ui.编辑框_入名称->text(), m.name);
        QCOMPARE(ui.编辑框_入手机号->text(), m.phone);
        QCOMPARE(ui.组合框_入类型->currentText(), m.type);
        QCOMPARE(ui.按钮_添加会员->text(), AddPage::kTopUpCaption);
        QCOMPARE(page.memberList()->rowCount(), 1);
        QCOMPARE(cell(page.memberList(), 0, 1), card);
        // Ready for the top-up: the count box for a count card, the amount box otherwise.
        QWidget* next =
            m.type == members::kCountCard ? static_cast<QWidget*>(ui.编辑框_充值次数) : ui.编辑框_入金额;
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QCOMPARE(m_boxes->texts(), QStringList());
}

void TestScannerBurst::addPageBurstsBeforeTheChecksEnd() {
    // Cards scanned faster than the checks run: each check keeps the number it was started
    // with, and the page ends showing the last card's member.
    AddPage page;
    Ui::AddPage& ui = page.ui();
    showPage(&page);
    const QList<MemberRow> rows = burstMembers();
    const QStringList cards = {rows[0].card, rows[1].card, rows[4].card, rows[2].card};
    for (const QString& card : cards) {
        ui.编辑框_入会卡号->clear();
        ui.编辑框_入会卡号->setFocus();
        scan(card);
        QCOMPARE(ui.编辑框_入会卡号->text(), card);
    }
    page.settleCardChecks();
    QCOMPARE(currentMemberRecord(), 3);
    QCOMPARE(ui.编辑框_入名称->text(), rows[2].name);
    QCOMPARE(ui.组合框_入类型->currentText(), rows[2].type);
    QCOMPARE(page.memberList()->rowCount(), 1);
    QCOMPARE(cell(page.memberList(), 0, 1), rows[2].card);
    QCOMPARE(m_boxes->texts(), QStringList());
}

// --- swipe page ----------------------------------------------------------------------------------

void TestScannerBurst::swipePageChargesEachCard_data() {
    // amounts empty: count cards charged at the scan (automatic swipe); otherwise the operator
    // types the amount (whole yuan: the box takes digits only) into the box the lookup focused,
    // and Enter charges it.
    QTest::addColumn<QStringList>("cards");
    QTest::addColumn<QStringList>("amounts");
    const QList<MemberRow> rows = burstMembers();
    QTest::newRow("count cards, automatic")
        << QStringList{rows[0].card, rows[1].card, rows[0].card, rows[0].card, rows[1].card} << QStringList();
    QTest::newRow("money cards, by hand")
        << QStringList{rows[2].card, rows[4].card, rows[3].card, rows[2].card}
        << QStringList{"12", "7", "30", "80"};
    QTest::newRow("count and money cards, by hand")
        << QStringList{rows[1].card, rows[4].card, rows[0].card, rows[2].card}
        << QStringList{"", "20", "", "1"};
}

void TestScannerBurst::swipePageChargesEachCard() {
    QFETCH(QStringList, cards);
    QFETCH(QStringList, amounts);
    const bool automatic = amounts.isEmpty();
    SwipePage page;
    Ui::SwipePage& ui = page.ui();
    ui.选择框_自动刷卡->setChecked(automatic);
    showPage(&page);
    ui.编辑框_刷卡号->setFocus();

    QList<MemberRow> expected = burstMembers();
    for (int i = 0; i < cards.size(); ++i) {
        const QString& card = cards[i];
        const int record = recordOf(card);
        QVERIFY(record > 0);
        MemberRow& m = expected[record - 1];
        m_boxes->clear();
        // The page keeps the focus in the card box for the next card.
        QCOMPARE(QApplication::focusWidget(), ui.编辑框_刷卡号);
        scan(card);
        if (!automatic) {
            // A lookup: the member's boxes are filled; a money card wants its amount.
            QCOMPARE(ui.编辑框_刷会员名称->text(), m.name);
            if (m.type != members::kCountCard) {
                QCOMPARE(QApplication::focusWidget(), ui.编辑框_刷去金额);
                QTest::keyClicks(nullptr, amounts[i]);
                QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
            } else {
                ui.按钮_手动刷卡->click();
            }
        }
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("刷卡成功")});
        // The message box is gone; the keyboard is the page window's again.
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));

        m.swipes = numberToText(textToNumber(m.swipes) + 1);
        if (m.type == members::kCountCard)
            m.visits = numberToText(textToNumber(m.visits) - 1);
        else
            m.balance = numberToText(textToNumber(m.balance) - textToNumber(amounts[i]));
        const QStringList stored = readMember(memberPath(), record);
        QCOMPARE(stored.value(FVisits), m.visits);
        QCOMPARE(stored.value(FBalance), m.balance);
        QCOMPARE(stored.value(FSwipes), m.swipes);
        QCOMPARE(page.swipeList().rowCount(), 1);
        QCOMPARE(cell(&page.swipeList(), 0, 1), card);
        QVERIFY(ui.编辑框_刷卡号->text().isEmpty());
    }
    // No other member was charged.
    const QList<MemberRow> rows = burstMembers();
    for (int record = 1; record <= rows.size(); ++record) {
        const QStringList stored = readMember(memberPath(), record);
        QCOMPARE(stored.value(FSwipes), expected[record - 1].swipes);
    }
}

QTEST_MAIN(TestScannerBurst)
#include "TestScannerBurst.moc"
