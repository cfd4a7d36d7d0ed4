// The swipe page through the real windows: lookups, count and money charges, the automatic
// swiping switch, the refusals and the input rules of its boxes.
#include "app/MainWindow.h"
#include "config/ConfigFile.h"
#include "members/MemberListModel.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_SwipePage.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kDone = QStringLiteral("刷卡成功");
const QString kAutoUsedUp = QStringLiteral("会员充值的次数已用完 \r\n\r\n 请尽快充值\r\n\r\n方便您今后使用");
const QString kManualUsedUp = QStringLiteral("会员充值的次数已用完  请尽快充值\r\n\r\n方便您今后使用");
const QString kShort = QStringLiteral("预存金额不足   请尽快充值");
const QString kNoAmount = QStringLiteral("需要填写消费金额");
const QString kWriteFailed = QStringLiteral("数据库写入失败，本次操作未保存");

const QList<OperatorRow> kOperators = {{QStringLiteral("店长"), QStringLiteral("1")}};

MemberRow member(const QString& card, const QString& name, const QString& type, const QString& visits,
                 const QString& balance, const QString& swipes) {
    MemberRow m;
    m.card = card;
    m.name = name;
    m.phone = QStringLiteral("1390000") + card;
    m.type = type;
    m.visits = visits;
    m.balance = balance;
    m.operatorName = QStringLiteral("店长");
    m.points = QStringLiteral("40");
    m.signUp = QStringLiteral("2018年3月5日");
    m.swipes = swipes;
    return m;
}

QString g_failingField;
bool failNamedWrite(const QString& field) {
    return field != g_failingField;
}

// Counts the menus shown while it lives, closing each as soon as it shows.
class MenuCounter : public QObject {
public:
    MenuCounter() { qApp->installEventFilter(this); }
    ~MenuCounter() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* menu = qobject_cast<QMenu*>(watched)) {
                ++shown;
                QTimer::singleShot(0, menu, &QMenu::close);
            }
        }
        return false;
    }
};

} // namespace

class TestSwipe : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void charge_data();
    void charge();
    void autoSwipeOnMoneyCard_data();
    void autoSwipeOnMoneyCard();
    void manualSwipeWhileAutoOn_data();
    void manualSwipeWhileAutoOn();
    void lookupListsEveryMatch_data();
    void lookupListsEveryMatch();
    void cardNotFound_data();
    void cardNotFound();
    void checkBoxStoresSetting();
    void interruptedCharge_data();
    void interruptedCharge();
    void unusableTable_data();
    void unusableTable();
    void pasteAndContextMenu_data();
    void pasteAndContextMenu();

private:
    bool open(const QList<MemberRow>& members);
    Ui::SwipePage& ui() { return f->swipe().ui(); }
    MemberListModel& list() { return f->swipe().swipeList(); }
    void type(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }
    void enter(QLineEdit* box) { QTest::keyClick(box, Qt::Key_Return); }

    std::unique_ptr<PagesFixture> f;
};

void TestSwipe::cleanup() {
    f.reset();
}

bool TestSwipe::open(const QList<MemberRow>& members) {
    f = std::make_unique<PagesFixture>();
    if (!f->start(kOperators, members, QStringLiteral("店长"), QStringLiteral("1")))
        return false;
    f->main().onToolbarClick(4);
    return true;
}

void TestSwipe::charge_data() {
    QTest::addColumn<QString>("cardType");
    QTest::addColumn<QString>("visits");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<QString>("swipes");
    QTest::addColumn<QString>("trigger"); // auto: Enter in the card box with automatic swiping on
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("wantVisits");
    QTest::addColumn<QString>("wantBalance");
    QTest::addColumn<QString>("wantSwipes");
    QTest::addColumn<bool>("boxesCleared");

    const QString count = QStringLiteral("次卡");
    const QString stored = QStringLiteral("储蓄卡");
    const QString unlimited = QStringLiteral("无限卡");
    const QStringList done{kDone};
    // clang-format off
    QTest::newRow("automatic count 3/7")     << count << "3" << "" << "7" << "auto" << "" << done << "2" << "" << "8" << true;
    QTest::newRow("automatic first swipe")   << count << "1" << "" << "" << "auto" << "" << done << "0" << "" << "1" << true;
    QTest::newRow("automatic none left")     << count << "0" << "" << "7" << "auto" << "" << QStringList{kAutoUsedUp} << "0" << "" << "7" << true;
    QTest::newRow("automatic below zero")    << count << "-2" << "" << "7" << "auto" << "" << QStringList{kAutoUsedUp} << "-2" << "" << "7" << true;
    QTest::newRow("manual count 3/7")        << count << "3" << "" << "7" << "button" << "" << done << "2" << "" << "8" << true;
    QTest::newRow("manual none left")        << count << "0" << "" << "7" << "button" << "" << QStringList{kManualUsedUp} << "0" << "" << "7" << true;
    QTest::newRow("stored 100 charged 100")  << stored << "" << "100" << "" << "enter" << "100" << done << "" << "0" << "1" << true;
    QTest::newRow("stored 100 charged 101")  << stored << "" << "100" << "" << "enter" << "101" << QStringList{kShort} << "" << "100" << "" << true;
    QTest::newRow("unlimited 100 charged 100") << unlimited << "" << "100" << "2" << "button" << "100" << done << "" << "0" << "3" << true;
    QTest::newRow("unlimited 100 charged 101") << unlimited << "" << "100" << "2" << "button" << "101" << QStringList{kShort} << "" << "100" << "2" << true;
    QTest::newRow("20 charged 7")            << stored << "5" << "20" << "" << "enter" << "7" << done << "5" << "13" << "1" << true;
    QTest::newRow("100.1 charged 100")       << stored << "" << "100.1" << "" << "enter" << "100" << done << "" << "0.1" << "1" << true;
    QTest::newRow("0.3 charged 0")           << stored << "" << "0.3" << "0.5" << "enter" << "0" << done << "" << "0.3" << "1.5" << true;
    QTest::newRow("other type as money")     << QString("月卡") << "" << "10" << "" << "enter" << "3" << done << "" << "7" << "1" << true;
    QTest::newRow("empty amount")            << stored << "" << "5" << "" << "enter" << "" << QStringList{kNoAmount} << "" << "5" << "" << false;
    QTest::newRow("empty amount, balance 0") << stored << "" << "0" << "" << "button" << "" << QStringList{kNoAmount} << "" << "0" << "" << false;
    QTest::newRow("negative amount")         << stored << "" << "10" << "" << "enter" << "-5" << QStringList{kNoAmount} << "" << "10" << "" << false;
    QTest::newRow("amount 3-0 counts as 3")  << stored << "" << "10" << "" << "enter" << "3-0" << done << "" << "7" << "1" << true;
    QTest::newRow("empty amount, negative")  << stored << "" << "-5" << "" << "enter" << "" << QStringList{kShort} << "" << "-5" << "" << true;
    // clang-format on
}

void TestSwipe::charge() {
    QFETCH(QString, cardType);
    QFETCH(QString, visits);
    QFETCH(QString, balance);
    QFETCH(QString, swipes);
    QFETCH(QString, trigger);
    QFETCH(QString, amount);
    QFETCH(QStringList, messages);
    QFETCH(QString, wantVisits);
    QFETCH(QString, wantBalance);
    QFETCH(QString, wantSwipes);
    QFETCH(bool, boxesCleared);

    // The member is record 2; a later record with the same number must stay untouched.
    QVERIFY(open({member("8000", "前一位", cardType, visits, balance, swipes),
                  member("8001", "王五", cardType, visits, balance, swipes),
                  member("8001", "同号", cardType, visits, balance, swipes)}));
    const QStringList first = f->member(1);
    const QStringList duplicate = f->member(3);
    const QStringList before = f->member(2);

    if (trigger == "auto") {
        ui().选择框_自动刷卡->click();
        QVERIFY(ui().选择框_自动刷卡->isChecked());
        type(ui().编辑框_刷卡号, "8001");
        enter(ui().编辑框_刷卡号);
    } else {
        type(ui().编辑框_刷卡号, "8001");
        enter(ui().编辑框_刷卡号); // the lookup: nothing charged, nothing shown
        QVERIFY(f->boxes().seen().isEmpty());
        QCOMPARE(list().rowCount(), 2);
        if (!amount.isEmpty())
            QTest::keyClicks(ui().编辑框_刷去金额, amount);
        if (trigger == "button")
            ui().按钮_手动刷卡->click();
        else
            enter(ui().编辑框_刷去金额);
    }

    QCOMPARE(f->boxes().texts(), messages);
    for (const SeenBox& box : f->boxes().seen())
        QCOMPARE(box.icon, QMessageBox::NoIcon);

    QStringList after = f->member(2);
    QCOMPARE(after.value(VVisits), wantVisits);
    QCOMPARE(after.value(VBalance), wantBalance);
    QCOMPARE(after.value(VSwipes), wantSwipes);
    // Nothing else of the record moves; points are the top-up's business.
    for (int v : {VId, VCard, VName, VGender, VPhone, VType, VOperator, VPoints, VSignUp})
        QCOMPARE(after.value(v), before.value(v));
    QCOMPARE(f->member(1), first);
    QCOMPARE(f->member(3), duplicate);

    const bool charged = messages == QStringList{kDone};
    if (charged) {
        QCOMPARE(list().rowCount(), 1);
        QCOMPARE(list().cell(0, 0), QStringLiteral("2")); // the record number
        QCOMPARE(list().cell(0, 1), QStringLiteral("8001"));
        QCOMPARE(list().cell(0, 6), wantVisits);
        QCOMPARE(list().cell(0, 7), wantBalance);
        QCOMPARE(list().cell(0, 8), wantSwipes);
        QCOMPARE(list().cell(0, 9), QStringLiteral("40"));
        QCOMPARE(ui().编辑框_刷去金额->isEnabled(), cardType != QStringLiteral("次卡"));
        // Ready for the next card (the window's focus, whether or not a box took activation).
        if (trigger != "auto")
            QCOMPARE(f->main().focusWidget(), ui().编辑框_刷卡号);
    } else {
        QCOMPARE(list().rowCount(), 0);
    }
    if (boxesCleared) {
        for (QLineEdit* box : {ui().编辑框_刷卡号, ui().编辑框_刷会员名称, ui().编辑框_刷手机号, ui().编辑框_刷卡类型,
                               ui().编辑框_刷去金额})
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
    } else {
        QCOMPARE(ui().编辑框_刷卡号->text(), QStringLiteral("8001"));
        QCOMPARE(ui().编辑框_刷会员名称->text(), QStringLiteral("王五"));
        QCOMPARE(ui().编辑框_刷卡类型->text(), cardType);
    }
    QCOMPARE(ui().编辑框_刷卡次数->text(), QStringLiteral("1"));
}

void TestSwipe::autoSwipeOnMoneyCard_data() {
    QTest::addColumn<QString>("cardType");
    QTest::newRow("stored value") << QStringLiteral("储蓄卡");
    QTest::newRow("unlimited") << QStringLiteral("无限卡");
}

void TestSwipe::autoSwipeOnMoneyCard() {
    QFETCH(QString, cardType);
    QVERIFY(open({member("7000", "赵六", QStringLiteral("次卡"), "4", "", ""),
                  member("7001", "钱七", cardType, "", "30", "2")}));
    const QStringList before = f->member(2);
    ui().选择框_自动刷卡->click();
    QCOMPARE(readSetting(QStringLiteral("自动刷卡")), QStringLiteral("真"));

    type(ui().编辑框_刷卡号, "7001");
    enter(ui().编辑框_刷卡号);

    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("刷金额 请选择手动")});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::Question);
    QCOMPARE(f->member(2), before);
    QVERIFY(!ui().选择框_自动刷卡->isChecked());
    QCOMPARE(readSetting(QStringLiteral("自动刷卡")), QStringLiteral("真"));
    QVERIFY(ui().编辑框_刷去金额->isEnabled());
    QCOMPARE(f->main().focusWidget(), ui().编辑框_刷去金额);
    QCOMPARE(ui().编辑框_刷会员名称->text(), QStringLiteral("钱七"));
    QCOMPARE(ui().编辑框_刷卡类型->text(), cardType);
    QCOMPARE(list().rowCount(), 1);
    QCOMPARE(list().cell(0, 0), QStringLiteral("2"));
    QCOMPARE(list().cell(0, 7), QStringLiteral("30"));

    // Now off, the next Enter of a count card is a lookup only.
    f->boxes().clear();
    type(ui().编辑框_刷卡号, "7000");
    enter(ui().编辑框_刷卡号);
    QVERIFY(f->boxes().seen().isEmpty());
    QCOMPARE(f->member(1).value(VVisits), QStringLiteral("4"));
}

void TestSwipe::manualSwipeWhileAutoOn_data() {
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("button") << false;
    QTest::newRow("Enter in the amount box") << true;
}

void TestSwipe::manualSwipeWhileAutoOn() {
    QFETCH(bool, byEnter);
    QVERIFY(open({member("6000", "孙八", QStringLiteral("储蓄卡"), "", "50", "")}));
    type(ui().编辑框_刷卡号, "6000");
    enter(ui().编辑框_刷卡号);
    QCOMPARE(list().rowCount(), 1);
    ui().选择框_自动刷卡->click();
    QTest::keyClicks(ui().编辑框_刷去金额, "10");
    const QStringList before = f->member(1);

    if (byEnter)
        enter(ui().编辑框_刷去金额);
    else
        ui().按钮_手动刷卡->click();

    QVERIFY(f->boxes().seen().isEmpty());
    QCOMPARE(f->member(1), before);
    QCOMPARE(list().rowCount(), 1);
    QCOMPARE(ui().编辑框_刷卡号->text(), QStringLiteral("6000"));
    QCOMPARE(ui().编辑框_刷去金额->text(), QStringLiteral("10"));
}

void TestSwipe::lookupListsEveryMatch_data() {
    QTest::addColumn<QString>("firstType");
    QTest::addColumn<QString>("lastType");
    QTest::newRow("money card last") << QStringLiteral("次卡") << QStringLiteral("储蓄卡");
    QTest::newRow("count card last") << QStringLiteral("无限卡") << QStringLiteral("次卡");
}

void TestSwipe::lookupListsEveryMatch() {
    QFETCH(QString, firstType);
    QFETCH(QString, lastType);
    QVERIFY(open({member("500", "甲", firstType, "3", "9", "1"), member("501", "乙", firstType, "3", "9", "1"),
                  member("500", "丙", lastType, "3", "9", "1")}));
    const QStringList one = f->member(1);
    const QStringList three = f->member(3);

    type(ui().编辑框_刷卡号, "500");
    enter(ui().编辑框_刷卡号);

    QVERIFY(f->boxes().seen().isEmpty());
    QCOMPARE(list().rowCount(), 2);
    QCOMPARE(list().cell(0, 0), QStringLiteral("1"));
    QCOMPARE(list().cell(0, 2), QStringLiteral("甲"));
    QCOMPARE(list().cell(1, 0), QStringLiteral("3"));
    QCOMPARE(list().cell(1, 2), QStringLiteral("丙"));
    // The boxes end at the last match.
    QCOMPARE(ui().编辑框_刷会员名称->text(), QStringLiteral("丙"));
    QCOMPARE(ui().编辑框_刷手机号->text(), QStringLiteral("1390000500"));
    QCOMPARE(ui().编辑框_刷卡类型->text(), lastType);
    QCOMPARE(ui().编辑框_刷去金额->isEnabled(), lastType != QStringLiteral("次卡"));
    if (lastType != QStringLiteral("次卡"))
        QCOMPARE(QApplication::focusWidget(), ui().编辑框_刷去金额);
    QCOMPARE(f->member(1), one);
    QCOMPARE(f->member(3), three);
}

void TestSwipe::cardNotFound_data() {
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QString>("typed");
    QTest::newRow("trailing space") << false << "501 ";
    QTest::newRow("trailing space, automatic") << true << "501 ";
    QTest::newRow("leading zero") << false << "0501";
    QTest::newRow("part of a number, automatic") << true << "50";
}

void TestSwipe::cardNotFound() {
    QFETCH(bool, automatic);
    QFETCH(QString, typed);
    QVERIFY(open({member("500", "甲", QStringLiteral("储蓄卡"), "", "9", ""),
                  member("501", "乙", QStringLiteral("次卡"), "3", "", "")}));
    type(ui().编辑框_刷卡号, "500");
    enter(ui().编辑框_刷卡号);
    QCOMPARE(list().rowCount(), 1);
    if (automatic)
        ui().选择框_自动刷卡->click();
    const QStringList before = f->member(2);

    type(ui().编辑框_刷卡号, typed);
    enter(ui().编辑框_刷卡号);

    QVERIFY(f->boxes().seen().isEmpty());
    QCOMPARE(list().rowCount(), 0);
    // The boxes keep the member shown before.
    QCOMPARE(ui().编辑框_刷会员名称->text(), QStringLiteral("甲"));
    QCOMPARE(f->member(2), before);
}

void TestSwipe::checkBoxStoresSetting() {
    QVERIFY(open({}));
    QCOMPARE(readSetting(QStringLiteral("自动刷卡"), QStringLiteral("<none>")), QStringLiteral("<none>"));
    ui().选择框_自动刷卡->click();
    QCOMPARE(readSetting(QStringLiteral("自动刷卡")), QStringLiteral("真"));
    ui().选择框_自动刷卡->click();
    QVERIFY(!ui().选择框_自动刷卡->isChecked());
    QCOMPARE(readSetting(QStringLiteral("自动刷卡")), QStringLiteral("假"));
}

void TestSwipe::interruptedCharge_data() {
    QTest::addColumn<QString>("cardType");
    QTest::addColumn<QString>("failingField");
    QTest::newRow("count card, second write") << QStringLiteral("次卡") << QStringLiteral("充值次数");
    QTest::newRow("count card, first write") << QStringLiteral("次卡") << QStringLiteral("刷卡次数");
    QTest::newRow("money card, second write") << QStringLiteral("储蓄卡") << QStringLiteral("充值金额");
}

void TestSwipe::interruptedCharge() {
    QFETCH(QString, cardType);
    QFETCH(QString, failingField);
    QVERIFY(open({member("900", "周九", cardType, "5", "50", "3")}));
    const QStringList before = f->member(1);
    const bool count = cardType == QStringLiteral("次卡");
    auto swipeOnce = [&] {
        if (count) {
            if (!ui().选择框_自动刷卡->isChecked())
                ui().选择框_自动刷卡->click();
            type(ui().编辑框_刷卡号, "900");
            enter(ui().编辑框_刷卡号);
        } else {
            type(ui().编辑框_刷卡号, "900");
            enter(ui().编辑框_刷卡号);
            type(ui().编辑框_刷去金额, "20");
            enter(ui().编辑框_刷去金额);
        }
    };

    g_failingField = failingField;
    RecordStore::instance().setWriteHookForTesting(&failNamedWrite);
    swipeOnce();
    RecordStore::instance().setWriteHookForTesting(nullptr);

    QCOMPARE(f->boxes().texts(), QStringList{kWriteFailed});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::Critical);
    QCOMPARE(f->member(1), before);
    QCOMPARE(list().rowCount(), 0);

    // The store is usable again at once: the next swipe charges exactly once.
    f->boxes().clear();
    swipeOnce();
    QCOMPARE(f->boxes().texts(), QStringList{kDone});
    const QStringList after = f->member(1);
    QCOMPARE(after.value(VSwipes), QStringLiteral("4"));
    QCOMPARE(after.value(VVisits), count ? QStringLiteral("4") : QStringLiteral("5"));
    QCOMPARE(after.value(VBalance), count ? QStringLiteral("50") : QStringLiteral("30"));
}

void TestSwipe::unusableTable_data() {
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("manual");
    QTest::newRow("missing, lookup") << false << false;
    QTest::newRow("missing, manual swipe") << false << true;
    QTest::newRow("damaged, lookup") << true << false;
    QTest::newRow("damaged, manual swipe") << true << true;
}

void TestSwipe::unusableTable() {
    QFETCH(bool, damaged);
    QFETCH(bool, manual);
    QVERIFY(open({member("100", "吴十", QStringLiteral("次卡"), "3", "", "")}));
    RecordStore::instance().closeAll();
    QVERIFY(QFile::remove(f->memberPath()));
    if (damaged)
        QVERIFY(writeBytes(f->memberPath(), QByteArray(4096, 'x')));
    type(ui().编辑框_刷卡号, "100");
    if (manual)
        ui().按钮_手动刷卡->click();
    else
        enter(ui().编辑框_刷卡号);
    QCOMPARE(f->boxes().texts(), QStringList{damaged ? QStringLiteral("数据库文件已损坏") : QStringLiteral("数据库文件已丢失")});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::NoIcon);
    QCOMPARE(list().rowCount(), 0);
}

void TestSwipe::pasteAndContextMenu_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("open"); // paste and the context menu allowed
    QTest::newRow("card number") << QStringLiteral("编辑框_刷卡号") << true;
    QTest::newRow("amount") << QStringLiteral("编辑框_刷去金额") << false;
    QTest::newRow("name") << QStringLiteral("编辑框_刷会员名称") << false;
    QTest::newRow("phone") << QStringLiteral("编辑框_刷手机号") << false;
    QTest::newRow("card type") << QStringLiteral("编辑框_刷卡类型") << false;
    QTest::newRow("swipe count") << QStringLiteral("编辑框_刷卡次数") << false;
}

void TestSwipe::pasteAndContextMenu() {
    QFETCH(QString, box);
    QFETCH(bool, open);
    QVERIFY(this->open({}));
    auto* edit = f->swipe().findChild<QLineEdit*>(box);
    QVERIFY(edit);
    const QString before = edit->text();
    QGuiApplication::clipboard()->setText(QStringLiteral("123"));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    if (!edit->isReadOnly())
        QCOMPARE(edit->text(), open ? before + QStringLiteral("123") : before);

    // A context menu that opens is counted and closed again at once.
    MenuCounter menus;
    const QPoint at = edit->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, edit->mapToGlobal(at));
    QCoreApplication::sendEvent(edit, &event);
    QCOMPARE(menus.shown, open ? 1 : 0);
}

QTEST_MAIN(TestSwipe)
#include "TestSwipe.moc"
