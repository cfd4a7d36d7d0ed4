// Damaged and foreign table files met by the running program: the operator table at the login
// and in the operator-management program, the member table at a swipe and at the add page's
// card check. Each is refused with the program's message, the program goes on, the file (and
// any journal beside it) keeps its bytes, and once the good file is back the same step works.
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/OperatorTable.h"
#include "app/UsersWindow.h"
#include "config/Program.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/MemberConfirmation.h"
#include "members/MemberListModel.h"
#include "members/MemberWorker.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/support/Members.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "ui_AddPage.h"
#include "ui_LoginWindow.h"
#include "ui_SwipePage.h"
#include "ui_UsersLoginWindow.h"

#include <QRandomGenerator>
#include <QtTest>

#include <sqlcipher/sqlite3.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kDamaged = QStringLiteral("数据库文件已损坏");
const QString kMissing = QStringLiteral("数据库文件已丢失");
constexpr qsizetype kPage = 1024;

enum class Via { Login, UserManagement, Swipe, CardCheck };

QByteArray flipped(QByteArray bytes, qsizetype at) {
    bytes[at] = char(bytes[at] ^ 0x20);
    return bytes;
}

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// An ordinary SQLite file that is not a table of ours.
QByteArray plainSqlite(const QString& path) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
                    exec(db, "CREATE TABLE people(name TEXT, phone TEXT); INSERT INTO people VALUES('x', '1');");
    sqlite3_close(db);
    return ok ? readBytes(path) : QByteArray();
}

// The journal the engine leaves when our program stops in the middle of a large commit on the
// table file at path: pages already written to the file, their old forms in the journal.
QByteArray interruptedCommitJournal(const QString& path) {
    const QString scratch = path + QStringLiteral(".scratch");
    QFile::remove(scratch);
    if (!QFile::copy(path, scratch))
        return {};
    sqlite3* db = nullptr;
    const QByteArray key = "~^!5";
    QByteArray journal;
    if (sqlite3_open_v2(QFile::encodeName(scratch).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_key(db, key.constData(), int(key.size())) == SQLITE_OK &&
        exec(db, "PRAGMA cache_size = 5; BEGIN IMMEDIATE; UPDATE records SET f3 = randomblob(30);"
                 "CREATE TABLE spill(x BLOB); WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                 "FROM c WHERE i < 100) INSERT INTO spill SELECT randomblob(900) FROM c;"))
        journal = readBytes(scratch + QStringLiteral("-journal"));
    sqlite3_close(db);
    QFile::remove(scratch);
    QFile::remove(scratch + QStringLiteral("-journal"));
    return journal;
}

} // namespace

Q_DECLARE_METATYPE(Via)

class TestDamagedFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refusedAndUntouched_data();
    void refusedAndUntouched();
    void operatorFieldListsAgree();

private:
    // Runs the step that opens the table; returns the messages it showed.
    QStringList runStep(Via via);
    bool programGoesOn(Via via) const;

    TempRunDir m_source;
    QByteArray m_operators, m_members, m_plain, m_operatorJournal, m_memberJournal;
    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<Application> m_app;
    std::unique_ptr<UsersLoginWindow> m_users;
};

void TestDamagedFiles::initTestCase() {
    const QString gly = m_source.file(QStringLiteral("gly.dat"));
    const QString thy = m_source.file(QStringLiteral("thy.dat"));
    QVERIFY(makeOperatorTable(gly, {{"店长", "1", true}, {"收银", "2", false}, {"夜班", "3", false}}));
    QList<MemberRow> rows = numberedMembers(40, 100);
    rows[0].type = QStringLiteral("储蓄卡");
    rows[0].balance = QStringLiteral("100");
    QVERIFY(makeMemberTable(thy, rows));
    m_operators = readBytes(gly);
    m_members = readBytes(thy);
    m_plain = plainSqlite(m_source.file(QStringLiteral("plain.db")));
    m_operatorJournal = interruptedCommitJournal(gly);
    m_memberJournal = interruptedCommitJournal(thy);
    QVERIFY(m_operators.size() >= 5 * kPage && m_members.size() >= 5 * kPage);
    QVERIFY(!m_plain.isEmpty() && !m_operatorJournal.isEmpty() && !m_memberJournal.isEmpty());
}

void TestDamagedFiles::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    program::setStarterForTesting([](const QString&) { return true; });
    m_boxes = std::make_unique<MessageBoxWatcher>();
}

void TestDamagedFiles::cleanup() {
    MemberWorker::instance().waitIdle();
    m_users.reset();
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MemberWorker::instance().waitIdle();
    RecordStore::instance().closeAll();
    m_boxes.reset();
    program::setStarterForTesting({});
    setRunDirectory(QString());
    m_dir.reset();
}

void TestDamagedFiles::refusedAndUntouched_data() {
    QTest::addColumn<Via>("via");
    QTest::addColumn<QByteArray>("bytes"); // the table file; null: no file
    QTest::addColumn<QByteArray>("journal"); // beside it when not empty
    QTest::addColumn<QString>("message");

    struct Target {
        const char* name;
        Via via;
        const QByteArray& good;
        const QByteArray& other;        // the other table's file
        const QByteArray& otherJournal; // the other table's interrupted commit
    };
    const Target targets[] = {
        {"login", Via::Login, m_operators, m_members, m_memberJournal},
        {"user management", Via::UserManagement, m_operators, m_members, m_memberJournal},
        {"swipe", Via::Swipe, m_members, m_operators, m_operatorJournal},
        {"card check", Via::CardCheck, m_members, m_operators, m_operatorJournal},
    };
    for (const Target& t : targets) {
        const QByteArray& g = t.good;
        const qsizetype pages = g.size() / kPage;
        QByteArray random(g.size(), Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
        auto row = [&](const char* what) -> QTestData& { return QTest::addRow("%s: %s", t.name, what) << t.via; };
        row("missing") << QByteArray() << QByteArray() << kMissing;
        row("zero bytes") << QByteArray("") << QByteArray() << kDamaged;
        for (const qsizetype cut : {qsizetype(16), qsizetype(100), kPage, 3 * kPage, g.size() / 2, g.size() - kPage,
                                    g.size() - 1})
            QTest::addRow("%s: truncated to %lld bytes", t.name, qlonglong(cut)) << t.via << g.left(cut) << QByteArray()
                                                                                 << kDamaged;
        row("byte flipped in the salt") << flipped(g, 5) << QByteArray() << kDamaged;
        row("byte flipped in the first page") << flipped(g, 300) << QByteArray() << kDamaged;
        row("byte flipped in a middle page") << flipped(g, pages / 2 * kPage + 500) << QByteArray() << kDamaged;
        row("byte flipped in the last page") << flipped(g, (pages - 1) * kPage + 700) << QByteArray() << kDamaged;
        row("random bytes") << random << QByteArray() << kDamaged;
        row("plain SQLite file") << m_plain << QByteArray() << kDamaged;
        row("file of the other table") << t.other << QByteArray() << kDamaged;
        row("leftover journal of the other table") << g << t.otherJournal << kDamaged;
        row("leftover journal beside a damaged file") << g.left(g.size() / 2) << t.otherJournal << kDamaged;
    }
}

QStringList TestDamagedFiles::runStep(Via via) {
    m_boxes->clear();
    switch (via) {
    case Via::Login: {
        LoginWindow* login = m_app->loginWindow();
        // The operator opens the name list first, which reads the table again.
        QTest::mousePress(login->ui().组合框_用户名, Qt::LeftButton);
        login->ui().组合框_用户名->hidePopup();
        login->ui().组合框_用户名->setCurrentIndex(login->ui().组合框_用户名->findText(QStringLiteral("店长")));
        login->ui().编辑框_登录密码->setText(QStringLiteral("1"));
        login->checkLogin();
        break;
    }
    case Via::UserManagement:
        m_users->reloadOperatorList();
        m_users->ui().组合框_用户名->setCurrentIndex(m_users->ui().组合框_用户名->findText(QStringLiteral("店长")));
        m_users->ui().编辑框_登录密码->setText(QStringLiteral("1"));
        m_users->checkLogin();
        break;
    case Via::Swipe: {
        Ui::SwipePage& u = m_app->mainWindow()->swipePage()->ui();
        u.编辑框_刷卡号->setText(QStringLiteral("100"));
        QTest::keyClick(u.编辑框_刷卡号, Qt::Key_Return);
        break;
    }
    case Via::CardCheck: {
        AddPage* add = m_app->mainWindow()->addPage();
        add->ui().编辑框_入会卡号->setText(QStringLiteral("100"));
        QTest::keyClick(add->ui().编辑框_入会卡号, Qt::Key_Return);
        add->settleCardChecks();
        break;
    }
    }
    return m_boxes->texts();
}

bool TestDamagedFiles::programGoesOn(Via via) const {
    if (m_app && m_app->isEnded())
        return false;
    switch (via) {
    case Via::Login:
        return m_app->loginWindow() && m_app->loginWindow()->isVisible() && !m_app->mainWindow();
    case Via::UserManagement:
        return m_users->isVisible() && !m_users->usersWindow();
    case Via::Swipe:
    case Via::CardCheck:
        return m_app->mainWindow() && m_app->mainWindow()->isVisible();
    }
    return false;
}

void TestDamagedFiles::refusedAndUntouched() {
    QFETCH(Via, via);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, journal);
    QFETCH(QString, message);

    const bool operatorTable = via == Via::Login || via == Via::UserManagement;
    const QString gly = m_dir->file(QStringLiteral("gly.dat"));
    const QString thy = m_dir->file(QStringLiteral("thy.dat"));
    const QString target = operatorTable ? gly : thy;
    QVERIFY(writeBytes(gly, m_operators));
    QVERIFY(writeBytes(thy, m_members));

    // The member table is met once logged in; the operator table at the program's start.
    if (!operatorTable) {
        m_app = std::make_unique<Application>();
        m_app->start();
        runStep(Via::Login);
        QVERIFY(m_app->mainWindow());
        RecordStore::instance().closeAll();
    }
    // A missing operator table at the start is the first run, which offers to create one: that
    // file goes missing while the program runs.
    auto damage = [&] {
        QFile::remove(target);
        if (!bytes.isNull())
            QVERIFY(writeBytes(target, bytes));
        if (!journal.isEmpty())
            QVERIFY(writeBytes(target + QStringLiteral("-journal"), journal));
    };
    if (!operatorTable || !bytes.isNull())
        damage();
    if (via == Via::Login) {
        m_app = std::make_unique<Application>();
        m_app->start();
        QVERIFY(m_app->loginWindow());
    } else if (via == Via::UserManagement) {
        m_users = std::make_unique<UsersLoginWindow>();
        m_users->show();
    }
    if (operatorTable && bytes.isNull())
        damage();

    const QStringList seen = runStep(via);
    QCOMPARE(seen, QStringList{message});
    QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::NoIcon);
    QVERIFY(programGoesOn(via));
    QCOMPARE(QFileInfo::exists(target), !bytes.isNull());
    QVERIFY2(readBytes(target) == bytes, "the refused file was changed");
    QVERIFY2(readBytes(target + QStringLiteral("-journal")) == journal, "the journal beside it was changed");
    if (!operatorTable)
        QCOMPARE(m_app->mainWindow()->swipePage()->swipeList().rowCount(), 0);

    // The good file back, the same step goes through without a restart.
    QFile::remove(target + QStringLiteral("-journal"));
    QVERIFY(writeBytes(target, operatorTable ? m_operators : m_members));
    QCOMPARE(runStep(via), QStringList());
    switch (via) {
    case Via::Login:
        QVERIFY(m_app->mainWindow());
        break;
    case Via::UserManagement:
        QVERIFY(m_users->usersWindow());
        break;
    case Via::Swipe:
        QCOMPARE(m_app->mainWindow()->swipePage()->swipeList().rowCount(), 1);
        break;
    case Via::CardCheck:
        QCOMPARE(m_app->mainWindow()->addPage()->ui().按钮_添加会员->text(), AddPage::kTopUpCaption);
        break;
    }
}

// The shell creates the operator table and the member windows open it for the password check;
// both must expect the same fields, or one of them would refuse every good file.
void TestDamagedFiles::operatorFieldListsAgree() {
    const QList<FieldDef> shell = operators::fieldList();
    const QList<FieldDef> members = members::operatorFieldList();
    QCOMPARE(members.size(), shell.size());
    for (qsizetype i = 0; i < shell.size(); ++i) {
        QCOMPARE(members[i].name, shell[i].name);
        QCOMPARE(members[i].type, shell[i].type);
        if (shell[i].type == TextField)
            QCOMPARE(members[i].maxLength, shell[i].maxLength);
    }
    // And the table the shell makes opens for the member windows.
    QVERIFY(writeBytes(m_dir->file(QStringLiteral("gly.dat")), m_operators));
    QCOMPARE(members::openOperatorTableQuietly(), members::OpenResult::Ready);
}

QTEST_MAIN(TestDamagedFiles)
#include "TestDamagedFiles.moc"
