// Text boxes of every window met with characters GBK cannot encode and with text longer than the
// field it goes to, by every route an operator has: keys, an input method, a paste by shortcut
// and by the context menu. Nothing of it gets in (so nothing is ever stored as "?"), and a byte
// cap never lets half a two-byte character in.
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/UsersWindow.h"
#include "config/SettingsPage.h"
#include "members/AddPage.h"
#include "members/CancelMemberWindow.h"
#include "members/ModifyMemberWindow.h"
#include "members/SwipePage.h"
#include "tests/members/PagesFixture.h"
#include "text/Gbk.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

enum class Route { Keys, InputMethod, ShortcutPaste, MenuPaste };

// Inserts text at the end of box the way route does; false when the box offers no such route
// (a swallowed context menu).
bool insert(QLineEdit* box, const QString& text, Route route) {
    box->setFocus();
    box->end(false);
    switch (route) {
    case Route::Keys: {
        // One key event carrying the whole text, as a key that types several code points does.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QCoreApplication::sendEvent(box, &press);
        break;
    }
    case Route::InputMethod: {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QCoreApplication::sendEvent(box, &commit);
        break;
    }
    case Route::ShortcutPaste:
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Route::MenuPaste: {
        bool offered = false;
        QGuiApplication::clipboard()->setText(text);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2), box->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(box, &menuEvent);
        // A box whose menu is swallowed shows none; otherwise choose its paste entry.
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            // The paste entry is the one labelled with the paste shortcut.
            const QString shortcut = u'\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
            for (QAction* a : menu->actions()) {
                if (a->text().endsWith(shortcut) && a->isEnabled()) {
                    offered = true;
                    a->trigger();
                }
            }
            menu->close();
        }
        return offered;
    }
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Route)

class TestHostileInput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void notGbkRefused_data();
    void notGbkRefused();
    void byteCapKeepsCharactersWhole_data();
    void byteCapKeepsCharactersWhole();

private:
    QLineEdit* box(const QString& window, const QString& name) const;
    void addBoxRows(bool cappedOnly);

    std::unique_ptr<PagesFixture> f;
    std::unique_ptr<ModifyMemberWindow> m_modify;
    std::unique_ptr<CancelMemberWindow> m_cancel;
    std::unique_ptr<UsersLoginWindow> m_usersLogin;
    std::unique_ptr<UsersWindow> m_users;
};

void TestHostileInput::initTestCase() {
    f = std::make_unique<PagesFixture>();
    QVERIFY(f->start({{"店长", "1", true}}, numberedMembers(3), "店长", "1"));
    m_modify = std::make_unique<ModifyMemberWindow>(f->add());
    m_cancel = std::make_unique<CancelMemberWindow>(f->add());
    m_usersLogin = std::make_unique<UsersLoginWindow>();
    m_users = std::make_unique<UsersWindow>(QStringLiteral("店长"));
    f->main().show();
    for (QWidget* w : std::initializer_list<QWidget*>{m_modify.get(), m_cancel.get(), m_usersLogin.get(), m_users.get()})
        w->show();
}

void TestHostileInput::cleanupTestCase() {
    m_users.reset();
    m_usersLogin.reset();
    m_cancel.reset();
    m_modify.reset();
    f.reset();
}

QLineEdit* TestHostileInput::box(const QString& window, const QString& name) const {
    QWidget* w = nullptr;
    if (window == QLatin1String("add"))
        w = &f->add();
    else if (window == QLatin1String("swipe"))
        w = &f->swipe();
    else if (window == QLatin1String("settings"))
        w = f->main().settingsPage();
    else if (window == QLatin1String("modify"))
        w = m_modify.get();
    else if (window == QLatin1String("cancel"))
        w = m_cancel.get();
    else if (window == QLatin1String("users login"))
        w = m_usersLogin.get();
    else if (window == QLatin1String("users"))
        w = m_users.get();
    return w ? w->findChild<QLineEdit*>(name) : nullptr;
}

// Every box that takes free text (number boxes refuse everything but digits and "-" anyway),
// with the GBK bytes its value may hold (-1: no cap).
void TestHostileInput::addBoxRows(bool cappedOnly) {
    const struct {
        const char* window;
        const char* box;
        int cap;
    } boxes[] = {
        {"add", "编辑框_入名称", 30},
        {"swipe", "编辑框_刷卡号", 30},
        {"swipe", "编辑框_查询内容", 30},
        {"modify", "编辑框_验证密码", 50},
        {"cancel", "编辑框_验证密码", 50},
        {"settings", "编辑框_启动软件标题", -1},
        {"settings", "编辑框_软件标题", -1},
        {"users login", "编辑框_登录密码", 50},
        {"users", "编辑框_管理员名称", 50},
        {"users", "编辑框_管理员密码", 50},
        {"users", "编辑框_确认密码", 50},
    };
    const struct {
        const char* name;
        Route route;
    } routes[] = {{"keys", Route::Keys},
                  {"input method", Route::InputMethod},
                  {"Shift+Insert", Route::ShortcutPaste},
                  {"context menu paste", Route::MenuPaste}};
    for (const auto& b : boxes) {
        if (cappedOnly && b.cap < 0)
            continue;
        for (const auto& r : routes)
            QTest::addRow("%s %s, %s", b.window, b.box, r.name)
                << QString::fromUtf8(b.window) << QString::fromUtf8(b.box) << b.cap << r.route;
    }
}

void TestHostileInput::notGbkRefused_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("cap");
    QTest::addColumn<Route>("route");
    addBoxRows(false);
}

void TestHostileInput::notGbkRefused() {
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(Route, route);
    QLineEdit* b = box(window, name);
    QVERIFY2(b, qPrintable(name));
    b->setText(QStringLiteral("7"));

    // Each has no GBK form: an emoji, a Hangul syllable, a character beyond the basic plane, a
    // combining mark, and one mixed into acceptable text.
    const QStringList hostile = {QStringLiteral("😀"), QStringLiteral("한"), QStringLiteral("𠀀"),
                                 QStringLiteral("e\u0301"), QStringLiteral("张😀三")};
    for (const QString& text : hostile) {
        QVERIFY2(!canEncodeGbk(text), qPrintable(text));
        insert(b, text, route);
        QCOMPARE(b->text(), QStringLiteral("7"));
    }
    // Text GBK can encode goes in by the same route, where the box offers it at all.
    const bool offered = insert(b, QStringLiteral("张三"), route);
    QCOMPARE(b->text(), offered ? QStringLiteral("7张三") : QStringLiteral("7"));
}

void TestHostileInput::byteCapKeepsCharactersWhole_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("cap");
    QTest::addColumn<Route>("route");
    addBoxRows(true);
}

void TestHostileInput::byteCapKeepsCharactersWhole() {
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(int, cap);
    QFETCH(Route, route);
    QLineEdit* b = box(window, name);
    QVERIFY(b);
    // One byte short of the cap: a two-byte character would split, a one-byte one fits.
    const QString almost(cap - 1, QLatin1Char('1'));
    b->setText(almost);
    insert(b, QStringLiteral("张"), route);
    QCOMPARE(b->text(), almost);
    insert(b, QStringLiteral("9张"), route);
    QCOMPARE(b->text(), almost);
    const bool offered = insert(b, QStringLiteral("9"), route);
    QCOMPARE(b->text(), offered ? almost + QLatin1Char('9') : almost);
    QCOMPARE(gbkLength(b->text()), offered ? qsizetype(cap) : qsizetype(cap - 1));
}

QTEST_MAIN(TestHostileInput)
#include "TestHostileInput.moc"
