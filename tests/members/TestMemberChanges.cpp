// Member modification and cancellation through the real windows: the add page recognises a
// member, its buttons open the modal windows, the operator types a password and confirms.
#include "app/MainWindow.h"
#include "members/AddPage.h"
#include "members/MemberListModel.h"
#include "members/Session.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_AddPage.h"

#include <QLabel>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kModified = QStringLiteral("会员信息修改成功");
const QString kRemoved = QStringLiteral("会员注销成功");
const QString kAdded = QStringLiteral("会员添加成功");
const QString kEnterPassword = QStringLiteral("请输入密码");
const QString kWrongPassword = QStringLiteral("密码不正确");
const QString kUnknownOperator = QStringLiteral(
    "管理员名称与密码错误\r\n\r\n     请重新输入！！！\r\n\r\n或者联系超级管理员添加新管理员");
const QString kMismatch = QStringLiteral("存在不正当操作\r\n\r\n将更改为添加新顾客");
const QString kWriteFailed = QStringLiteral("数据库写入失败，本次操作未保存");

const QString kModifyWindow = QStringLiteral("ModifyMemberWindow");
const QString kCancelWindow = QStringLiteral("CancelMemberWindow");

enum Operators { Administrator, RightlessLast, RightlessNotLast };

struct Login {
    QList<OperatorRow> rows;
    QString name;
    QString password;
};

Login login(int which) {
    switch (which) {
    case RightlessLast:
        return {{{"店长", "1", true}, {"收银", "3", false}}, "收银", "3"};
    case RightlessNotLast:
        return {{{"收银", "3", false}, {"店长", "1", true}}, "收银", "3"};
    default:
        return {{{"店长", "1", true}, {"收银", "3", false}}, "店长", "1"};
    }
}

QList<MemberRow> threeMembers() {
    QList<MemberRow> rows(3);
    const char* types[3] = {"次卡", "储蓄卡", "无限卡"};
    for (int i = 0; i < 3; ++i) {
        MemberRow& m = rows[i];
        m.card = QString::number(i + 1);
        m.name = QStringLiteral("会员%1").arg(i + 1);
        m.gender = QStringLiteral("男");
        m.phone = QStringLiteral("1380000000%1").arg(i + 1);
        m.type = QString::fromUtf8(types[i]);
        m.visits = i == 0 ? QStringLiteral("5") : QString();
        m.balance = i == 0 ? QString() : QStringLiteral("100");
        m.operatorName = QStringLiteral("店长");
        m.points = QStringLiteral("100");
        m.signUp = QStringLiteral("2018年3月5日");
        m.swipes = QStringLiteral("4");
    }
    return rows;
}

QString g_failingField;
bool failNamedWrite(const QString& field) {
    return field != g_failingField;
}

} // namespace

class TestMemberChanges : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void windowLooks_data();
    void windowLooks();
    void confirmation_data();
    void confirmation();
    void requiredBoxes_data();
    void requiredBoxes();
    void removalRenumbersLaterMembers();
    void removingTheOnlyMember();
    void interruptedWrites_data();
    void interruptedWrites();
    void unusableTables_data();
    void unusableTables();

private:
    // Logs in, brings up the add page and recognises the member with card number card.
    bool recognise(int operators, const QList<MemberRow>& members, const QString& card);
    // Edits the recognised member on the add page, as the operator would before confirming.
    void editPage();
    QAbstractButton* opener(const QString& window) {
        return window == kModifyWindow ? static_cast<QAbstractButton*>(page().按钮_会员信息修改)
                                       : static_cast<QAbstractButton*>(page().按钮_注销会员);
    }
    // Types password into the open window and confirms by Enter or by its button.
    static void confirm(QDialog* dialog, const QString& password, bool byEnter);
    Ui::AddPage& page() { return f->add().ui(); }

    std::unique_ptr<PagesFixture> f;
};

void TestMemberChanges::cleanup() {
    f.reset();
}

bool TestMemberChanges::recognise(int operators, const QList<MemberRow>& members, const QString& card) {
    const Login l = login(operators);
    f = std::make_unique<PagesFixture>();
    if (!f->start(l.rows, members, l.name, l.password))
        return false;
    f->main().onToolbarClick(2);
    f->settle();
    page().编辑框_入会卡号->setText(card);
    QTest::keyClick(page().编辑框_入会卡号, Qt::Key_Return);
    f->settle();
    f->boxes().clear();
    return page().按钮_会员信息修改->isEnabled() && page().按钮_注销会员->isEnabled();
}

void TestMemberChanges::editPage() {
    page().编辑框_入名称->setText(QStringLiteral("新 名字"));
    page().组合框_入性别->setCurrentIndex(1);
    page().编辑框_入手机号->setText(QStringLiteral("13911112222"));
    page().组合框_入类型->setCurrentIndex(2);
    page().编辑框_充值次数->setText(QStringLiteral("2"));
    page().编辑框_入金额->setText(QStringLiteral("30"));
}

void TestMemberChanges::confirm(QDialog* dialog, const QString& password, bool byEnter) {
    auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_验证密码"));
    QVERIFY(box);
    QTest::keyClicks(box, password);
    if (byEnter) {
        QTest::keyClick(box, Qt::Key_Return);
    } else {
        const QString button = dialog->objectName() == kModifyWindow ? QStringLiteral("按钮_确认修改")
                                                                     : QStringLiteral("按钮_确认注销");
        dialog->findChild<QPushButton*>(button)->click();
    }
}

void TestMemberChanges::windowLooks_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("labels"); // objectName=text
    QTest::addColumn<QString>("button");
    QTest::newRow("modification")
        << kModifyWindow << "会员信息修改" << QSize(284, 173)
        << QStringList{"标签1=会员信息修改 谨慎操作",
                       "标签3=首先将会员管理板块内预修改的会员名称、会员性别、手机号码、卡类别改好再点击【会员信息修改】",
                       "标签2=管理员密码:"}
        << "按钮_确认修改";
    QTest::newRow("cancellation") << kCancelWindow << "注销会员" << QSize(282, 86)
                                  << QStringList{"标签1=注销会员 谨慎操作", "标签2=管理员密码:"} << "按钮_确认注销";
}

void TestMemberChanges::windowLooks() {
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QFETCH(QSize, size);
    QFETCH(QStringList, labels);
    QFETCH(QString, button);
    QVERIFY(recognise(Administrator, threeMembers(), "2"));
    const auto end = f->runDialog(opener(window), window, [&](QDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(dialog->size(), size);
        QVERIFY(!dialog->parentWidget());
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(QApplication::activeModalWidget(), dialog);
        for (const QString& label : labels) {
            auto* l = dialog->findChild<QLabel*>(label.section('=', 0, 0));
            QVERIFY2(l, qPrintable(label));
            QCOMPARE(l->text(), label.section('=', 1));
        }
        auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_验证密码"));
        QVERIFY(password);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog->focusWidget(), password);
        QCOMPARE(dialog->findChild<QPushButton*>(button)->text(), QStringLiteral("确定"));
    });
    QCOMPARE(end, PagesFixture::DialogEnd::LeftOpen);
    QVERIFY(f->boxes().seen().isEmpty());
}

void TestMemberChanges::confirmation_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("operators");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<bool>("cardEdited");
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("leftOpen");
    QTest::addColumn<QString>("outcome"); // modified, removed, added or unchanged

    const QString m = kModifyWindow;
    const QString c = kCancelWindow;
    // clang-format off
    QTest::newRow("modify")                      << m << int(Administrator) << "1" << false << false << true << QStringList{kModified} << false << "modified";
    QTest::newRow("modify by Enter")             << m << int(Administrator) << "1" << true << false << true << QStringList{kModified} << false << "modified";
    QTest::newRow("modify, wrong password")      << m << int(Administrator) << "x" << false << false << true << QStringList{kWrongPassword} << true << "unchanged";
    QTest::newRow("modify, no password")         << m << int(Administrator) << "" << true << false << true << QStringList{kEnterPassword} << true << "unchanged";
    QTest::newRow("modify, other's password")    << m << int(Administrator) << "3" << false << false << true << QStringList{kWrongPassword} << true << "unchanged";
    QTest::newRow("modify, no right, last")      << m << int(RightlessLast) << "3" << false << false << true << QStringList{} << true << "unchanged";
    QTest::newRow("modify, no right, not last")  << m << int(RightlessNotLast) << "3" << false << false << true << QStringList{kUnknownOperator} << false << "unchanged";
    QTest::newRow("modify, card edited, OK")     << m << int(Administrator) << "1" << false << true << true << QStringList{kMismatch} << false << "added";
    QTest::newRow("modify, card edited, Cancel") << m << int(Administrator) << "1" << false << true << false << QStringList{kMismatch} << false << "unchanged";
    QTest::newRow("remove")                      << c << int(Administrator) << "1" << false << false << true << QStringList{kRemoved} << false << "removed";
    QTest::newRow("remove by Enter")             << c << int(Administrator) << "1" << true << false << true << QStringList{kRemoved} << false << "removed";
    QTest::newRow("remove, wrong password")      << c << int(Administrator) << "12" << true << false << true << QStringList{kWrongPassword} << true << "unchanged";
    QTest::newRow("remove, no password")         << c << int(Administrator) << "" << false << false << true << QStringList{kEnterPassword} << true << "unchanged";
    QTest::newRow("remove, other's password")    << c << int(Administrator) << "3" << true << false << true << QStringList{kWrongPassword} << true << "unchanged";
    QTest::newRow("remove, no right, last")      << c << int(RightlessLast) << "3" << true << false << true << QStringList{} << true << "unchanged";
    QTest::newRow("remove, no right, not last")  << c << int(RightlessNotLast) << "3" << false << false << true << QStringList{kUnknownOperator} << false << "unchanged";
    QTest::newRow("remove, card edited, OK")     << c << int(Administrator) << "1" << false << true << true << QStringList{kMismatch, kAdded} << false << "added";
    QTest::newRow("remove, card edited, Cancel") << c << int(Administrator) << "1" << true << true << false << QStringList{kMismatch} << false << "unchanged";
    // clang-format on
}

void TestMemberChanges::confirmation() {
    QFETCH(QString, window);
    QFETCH(int, operators);
    QFETCH(QString, password);
    QFETCH(bool, byEnter);
    QFETCH(bool, cardEdited);
    QFETCH(bool, answerOk);
    QFETCH(QStringList, messages);
    QFETCH(bool, leftOpen);
    QFETCH(QString, outcome);

    QVERIFY(recognise(operators, threeMembers(), "2"));
    QCOMPARE(currentMemberRecord(), 2);
    QCOMPARE(f->add().memberList()->rowCount(), 1);
    const QList<QStringList> before = {f->member(1), f->member(2), f->member(3)};
    editPage();
    if (cardEdited)
        page().编辑框_入会卡号->setText(QStringLiteral("1")); // another member's number
    const QString today = page().编辑框_入时间->text();
    QVERIFY(!today.isEmpty());
    f->boxes().queueAnswers({answerOk});

    QLineEdit* passwordBox = nullptr;
    const auto end = f->runDialog(opener(window), window, [&](QDialog* dialog) {
        passwordBox = dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_验证密码"));
        confirm(dialog, password, byEnter);
        if (dialog->isVisible() && messages == QStringList{kWrongPassword})
            QVERIFY(passwordBox->text().isEmpty());
    });
    QCOMPARE(end, leftOpen ? PagesFixture::DialogEnd::LeftOpen : PagesFixture::DialogEnd::Closed);

    QCOMPARE(f->boxes().texts(), messages);
    for (const SeenBox& box : f->boxes().seen()) {
        const bool plain = box.text == kModified || box.text == kRemoved || box.text == kAdded;
        QCOMPARE(box.icon, plain ? QMessageBox::NoIcon : QMessageBox::Critical);
        QCOMPARE(box.hasCancel, box.text == kMismatch);
    }

    if (outcome == "unchanged") {
        QCOMPARE(f->memberCount(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f->member(i + 1), before[i]);
    } else if (outcome == "modified") {
        QCOMPARE(f->memberCount(), 3);
        QStringList want = before[1];
        want[VName] = QStringLiteral("新 名字");
        want[VGender] = QStringLiteral("女");
        want[VPhone] = QStringLiteral("13911112222");
        want[VType] = QStringLiteral("无限卡");
        want[VSignUp] = today;
        QCOMPARE(f->member(2), want);
        QCOMPARE(f->member(1), before[0]);
        QCOMPARE(f->member(3), before[2]);
    } else if (outcome == "removed") {
        QCOMPARE(f->memberCount(), 2);
        QCOMPARE(f->member(1), before[0]);
        QCOMPARE(f->member(2), before[2]);
    } else if (outcome == "added") {
        QCOMPARE(f->memberCount(), 4);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f->member(i + 1), before[i]);
        // Even with a card number another member holds; the balance for every card type.
        const QStringList want = {"0", "1", "新 名字", "女", "13911112222", "无限卡", "2", "30", loggedInOperator(),
                                  "30", today, ""};
        QCOMPARE(f->member(4), want);
    }

    const bool reset = outcome == "modified" || outcome == "removed";
    const bool reachedTheMember = outcome != "unchanged" || cardEdited;
    if (reset || outcome == "added") {
        for (QLineEdit* box : {page().编辑框_入会卡号, page().编辑框_入名称, page().编辑框_入手机号, page().编辑框_入金额,
                               page().编辑框_充值次数})
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        QCOMPARE(page().组合框_入类型->currentIndex(), -1);
        QCOMPARE(page().组合框_入类型->currentText(), QString());
        QCOMPARE(page().组合框_入性别->currentIndex(), 1); // kept
    }
    if (reachedTheMember)
        QCOMPARE(page().按钮_添加会员->text(), QStringLiteral("添加会员"));
    else
        QCOMPARE(page().按钮_添加会员->text(), QStringLiteral("会员充值"));
    // Modification, removal and the Cancel answer leave the card type locked; adding unlocks it.
    QCOMPARE(page().组合框_入类型->isEnabled(), !reachedTheMember || outcome == "added");
    QCOMPARE(page().按钮_会员信息修改->isEnabled(), !reset);
    QCOMPARE(page().按钮_注销会员->isEnabled(), !reset);
    if (reset)
        QVERIFY(page().透明标签_积分->text().isEmpty());
    else
        QCOMPARE(page().透明标签_积分->text(), QStringLiteral("100"));
    // The list is reloaded once the member table was reached, and only then.
    f->settle();
    QCOMPARE(f->add().memberList()->rowCount(), reachedTheMember ? f->memberCount() : 1);
    QCOMPARE(currentMemberRecord(), 2);
    Q_UNUSED(passwordBox);
}

void TestMemberChanges::requiredBoxes_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    const QString m = kModifyWindow;
    const QString c = kCancelWindow;
    QTest::newRow("modify, no card number") << m << "编辑框_入会卡号" << "" << "卡号不能为空！";
    QTest::newRow("modify, name of spaces") << m << "编辑框_入名称" << " 　 " << "名称不能为空！";
    QTest::newRow("modify, no phone") << m << "编辑框_入手机号" << "" << "电话号不能为空！";
    QTest::newRow("modify, no card type") << m << "组合框_入类型" << "" << "";
    QTest::newRow("remove, card number of spaces") << c << "编辑框_入会卡号" << "  " << "卡号不能为空！";
    QTest::newRow("remove, no name") << c << "编辑框_入名称" << "" << "名称不能为空！";
    QTest::newRow("remove, phone of spaces") << c << "编辑框_入手机号" << " " << "电话号不能为空！";
    QTest::newRow("remove, no card type") << c << "组合框_入类型" << "" << "卡类型不能为空！";
}

void TestMemberChanges::requiredBoxes() {
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QVERIFY(recognise(Administrator, threeMembers(), "2"));
    const QList<QStringList> before = {f->member(1), f->member(2), f->member(3)};
    if (auto* edit = f->add().findChild<QLineEdit*>(box))
        edit->setText(text);
    else
        f->add().findChild<QComboBox*>(box)->setCurrentIndex(-1);

    const auto end = f->runDialog(opener(window), window, [&](QDialog* dialog) { confirm(dialog, "1", false); });

    if (!message.isEmpty()) {
        QCOMPARE(end, PagesFixture::DialogEnd::LeftOpen);
        QCOMPARE(f->boxes().texts(), QStringList{message});
        QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::Critical);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f->member(i + 1), before[i]);
    } else {
        // The modification stores an empty card type as it is.
        QCOMPARE(end, PagesFixture::DialogEnd::Closed);
        QCOMPARE(f->boxes().texts(), QStringList{kModified});
        QCOMPARE(f->member(2).value(VType), QString());
    }
}

void TestMemberChanges::removalRenumbersLaterMembers() {
    QList<MemberRow> members = threeMembers();
    QVERIFY(recognise(Administrator, members, "2"));
    const QStringList third = f->member(3);
    QCOMPARE(f->runDialog(opener(kCancelWindow), kCancelWindow, [&](QDialog* d) { confirm(d, "1", true); }),
             PagesFixture::DialogEnd::Closed);
    QCOMPARE(f->boxes().texts(), QStringList{kRemoved});
    QCOMPARE(f->memberCount(), 2);
    QCOMPARE(f->member(2), third);
    f->settle();
    QCOMPARE(f->add().memberList()->rowCount(), 2);
    QCOMPARE(f->add().memberList()->cell(1, 1), QStringLiteral("3"));

    // The member that moved up is recognised under its new number, and can be removed too.
    page().编辑框_入会卡号->setText(QStringLiteral("3"));
    QTest::keyClick(page().编辑框_入会卡号, Qt::Key_Return);
    f->settle();
    QCOMPARE(currentMemberRecord(), 2);
    f->boxes().clear();
    QCOMPARE(f->runDialog(opener(kCancelWindow), kCancelWindow, [&](QDialog* d) { confirm(d, "1", false); }),
             PagesFixture::DialogEnd::Closed);
    QCOMPARE(f->boxes().texts(), QStringList{kRemoved});
    QCOMPARE(f->memberCount(), 1);
    QCOMPARE(f->member(1).value(VCard), QStringLiteral("1"));
}

void TestMemberChanges::removingTheOnlyMember() {
    QVERIFY(recognise(Administrator, {threeMembers()[1]}, "2"));
    QCOMPARE(f->runDialog(opener(kCancelWindow), kCancelWindow, [&](QDialog* d) { confirm(d, "1", false); }),
             PagesFixture::DialogEnd::Closed);
    QCOMPARE(f->boxes().texts(), QStringList{kRemoved});
    QCOMPARE(f->memberCount(), 0);
    f->settle();
    QCOMPARE(f->add().memberList()->rowCount(), 0);
}

void TestMemberChanges::interruptedWrites_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("cardEdited");
    QTest::addColumn<QString>("failingField");
    QTest::addColumn<bool>("leftOpen");
    QTest::newRow("modification, fourth field") << kModifyWindow << false << "会员类型" << true;
    QTest::newRow("modification, last field") << kModifyWindow << false << "注册时间" << true;
    QTest::newRow("new member instead, points") << kModifyWindow << true << "累计积分" << false;
    QTest::newRow("new member instead of a removal") << kCancelWindow << true << "注册时间" << false;
}

void TestMemberChanges::interruptedWrites() {
    QFETCH(QString, window);
    QFETCH(bool, cardEdited);
    QFETCH(QString, failingField);
    QFETCH(bool, leftOpen);
    QVERIFY(recognise(Administrator, threeMembers(), "2"));
    const QList<QStringList> before = {f->member(1), f->member(2), f->member(3)};
    editPage();
    if (cardEdited)
        page().编辑框_入会卡号->setText(QStringLiteral("77"));

    g_failingField = failingField;
    RecordStore::instance().setWriteHookForTesting(&failNamedWrite);
    const auto end = f->runDialog(opener(window), window, [&](QDialog* d) { confirm(d, "1", false); });
    RecordStore::instance().setWriteHookForTesting(nullptr);

    QCOMPARE(end, leftOpen ? PagesFixture::DialogEnd::LeftOpen : PagesFixture::DialogEnd::Closed);
    const QStringList want = cardEdited ? QStringList{kMismatch, kWriteFailed} : QStringList{kWriteFailed};
    QCOMPARE(f->boxes().texts(), want);
    QCOMPARE(f->boxes().seen().last().icon, QMessageBox::Critical);
    QCOMPARE(f->memberCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(f->member(i + 1), before[i]);
    // Nothing was stored, so the page keeps what the operator typed.
    QCOMPARE(page().编辑框_入名称->text(), QStringLiteral("新 名字"));
}

void TestMemberChanges::unusableTables_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("leftOpen");
    for (const QString& w : {kModifyWindow, kCancelWindow}) {
        const QByteArray name = w.toLatin1();
        QTest::newRow(name + ", operators missing") << w << "gly.dat" << false << true;
        QTest::newRow(name + ", operators damaged") << w << "gly.dat" << true << true;
        QTest::newRow(name + ", members missing") << w << "thy.dat" << false << false;
        QTest::newRow(name + ", members damaged") << w << "thy.dat" << true << true;
    }
}

void TestMemberChanges::unusableTables() {
    QFETCH(QString, window);
    QFETCH(QString, file);
    QFETCH(bool, damaged);
    QFETCH(bool, leftOpen);
    QVERIFY(recognise(Administrator, threeMembers(), "2"));
    RecordStore::instance().closeAll();
    const QString path = f->dir() + QLatin1Char('/') + file;
    QVERIFY(QFile::remove(path));
    if (damaged)
        QVERIFY(writeBytes(path, QByteArray(8192, 'z')));

    const auto end = f->runDialog(opener(window), window, [&](QDialog* d) { confirm(d, "1", false); });

    QCOMPARE(end, leftOpen ? PagesFixture::DialogEnd::LeftOpen : PagesFixture::DialogEnd::Closed);
    QCOMPARE(f->boxes().texts(),
             QStringList{damaged ? QStringLiteral("数据库文件已损坏") : QStringLiteral("数据库文件已丢失")});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::NoIcon);
    QCOMPARE(page().按钮_会员信息修改->isEnabled(), true);
}

QTEST_MAIN(TestMemberChanges)
#include "TestMemberChanges.moc"
