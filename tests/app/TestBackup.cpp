// "备份数据" and "恢复数据" on the settings page of the running program: a backup taken while
// the tables are open restores to the very data it was taken of; the operator's right is
// checked in the operator table; what is not a backup is refused without touching anything.
#include "app/DataBackup.h"
#include "app/MainWindow.h"
#include "app/OperatorTable.h"
#include "config/ConfigFile.h"
#include "config/Dialogs.h"
#include "config/Program.h"
#include "config/SettingsPage.h"
#include "members/History.h"
#include "members/MemberTable.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_SettingsPage.h"
#include "ui_SwipePage.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;
namespace history = quorvel::members::history;

namespace {

QList<MemberRow> twoMembers() {
    QList<MemberRow> rows(2);
    for (int i = 0; i < 2; ++i) {
        rows[i].card = QString::number(i + 1);
        rows[i].name = QStringLiteral("会员%1").arg(i + 1);
        rows[i].phone = QStringLiteral("13800000000");
        rows[i].type = QStringLiteral("储蓄卡");
        rows[i].balance = QStringLiteral("100");
        rows[i].points = QStringLiteral("10");
    }
    return rows;
}

// Every record of a table file, read through a store of its own; empty when it does not open.
QList<QStringList> records(const QString& path, const QList<FieldDef>& fields) {
    RecordStore store;
    QList<QStringList> out;
    if (!store.openTable(path, kTablePassword, fields))
        return out;
    for (int n = 1; n <= store.recordCount(); ++n) {
        store.goToRecord(n);
        out.append(store.readRecord());
    }
    return out;
}

// What the run directory holds, file by file: the tables' records and the settings' bytes.
struct DataSnapshot {
    QList<QStringList> operators, members, entries;
    QByteArray settings;
    bool operator==(const DataSnapshot&) const = default;
};

DataSnapshot snapshot(const QString& dir) {
    const QDir d(dir);
    return {records(d.filePath("gly.dat"), operators::fieldList()),
            records(d.filePath("thy.dat"), members::memberFields()),
            records(d.filePath("mxjl.dat"), history::historyFields()), readBytes(d.filePath("配置文件.ini"))};
}

class FolderAnswer : public PlatformDialogs {
  public:
    FolderAnswer() { setPlatformDialogs(this); }
    ~FolderAnswer() override { setPlatformDialogs(nullptr); }
    bool chooseFolder(QWidget*, const QString&, const QString&, QString* chosen) override {
        ++asked;
        if (answers.isEmpty() || answers.first().isEmpty())
            return false;
        *chosen = answers.takeFirst();
        return true;
    }
    QStringList answers;
    int asked = 0;
};

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void backupWhileOpenRestoresIdentically();
    void withoutTheRight_data();
    void withoutTheRight();
    void refusedRestore_data();
    void refusedRestore();
    void backupIntoAMissingFolder();

  private:
    bool start(const QString& login);
    // A charge of member 2 through the swipe page: the member table and the history are open.
    void charge(const QString& amount);
    Ui::SettingsPage& settingsPage() { return f->main().settingsPage()->ui(); }
    // The one backup folder made under m_parent.
    QString madeFolder() const;

    std::unique_ptr<PagesFixture> f;
    std::unique_ptr<TempRunDir> m_parent; // where the operator keeps backups
    std::unique_ptr<FolderAnswer> m_folders;
    QStringList m_starts;
};

void TestBackup::init() {
    m_parent = std::make_unique<TempRunDir>();
    m_folders = std::make_unique<FolderAnswer>();
    m_starts.clear();
}

void TestBackup::cleanup() {
    f.reset();
    m_folders.reset();
    m_parent.reset();
}

bool TestBackup::start(const QString& login) {
    f = std::make_unique<PagesFixture>();
    if (!f->start({{"店长", "1", true}, {"收银", "2", false}}, twoMembers(), login,
                  login == QStringLiteral("店长") ? "1" : "2"))
        return false;
    program::setStarterForTesting([this](const QString& path) {
        m_starts.append(QFileInfo(path).fileName());
        return true;
    });
    return true;
}

void TestBackup::charge(const QString& amount) {
    f->main().onToolbarClick(4);
    Ui::SwipePage& u = f->swipe().ui();
    u.编辑框_刷卡号->setText("2");
    QTest::keyClick(u.编辑框_刷卡号, Qt::Key_Return);
    u.编辑框_刷去金额->setText(amount);
    u.按钮_手动刷卡->click();
}

QString TestBackup::madeFolder() const {
    const QStringList made = QDir(m_parent->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return made.size() == 1 ? m_parent->file(made.first()) : QString();
}

void TestBackup::backupWhileOpenRestoresIdentically() {
    QVERIFY(start("店长"));
    charge("30");
    QVERIFY(writeSetting(QStringLiteral("软件标题"), QStringLiteral("备份前")));
    QVERIFY(!RecordStore::instance().companionFile().isEmpty()); // the history is open too
    const DataSnapshot taken = snapshot(f->dir());
    QCOMPARE(taken.entries.size(), 1);
    QVERIFY(!taken.settings.isEmpty());
    f->boxes().clear();

    f->main().onToolbarClick(0);
    m_folders->answers = {m_parent->path()};
    settingsPage().按钮_备份数据->click();
    const QString folder = madeFolder();
    QVERIFY(!folder.isEmpty());
    QVERIFY(QFileInfo(folder).fileName().startsWith(QStringLiteral("会员数据备份_")));
    QCOMPARE(f->boxes().texts(), QStringList{backup::kBackupDoneText.arg(folder)});
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             (QStringList{"gly.dat", "mxjl.dat", "thy.dat", "配置文件.ini"}));
    QCOMPARE(snapshot(folder), taken);

    // Life goes on after the backup.
    charge("20");
    QVERIFY(writeSetting(QStringLiteral("软件标题"), QStringLiteral("备份后")));
    const DataSnapshot later = snapshot(f->dir());
    QVERIFY(later.members != taken.members && later.entries.size() == 2 && later.settings != taken.settings);
    f->boxes().clear();

    f->main().onToolbarClick(0);
    m_folders->answers = {folder};
    f->boxes().queueAnswers({true});
    settingsPage().按钮_恢复数据->click();
    QCOMPARE(f->boxes().texts(), (QStringList{backup::kRestoreQuestion, backup::kRestoreDoneText}));
    QCOMPARE(m_starts, QStringList{program::kMainProgram});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(snapshot(f->dir()), taken);
    // What was replaced is kept beside, as it was.
    QDir run(f->dir());
    QCOMPARE(records(run.filePath("thy.dat.bak"), members::memberFields()), later.members);
    QCOMPARE(records(run.filePath("mxjl.dat.bak"), history::historyFields()), later.entries);
    QCOMPARE(readBytes(run.filePath("配置文件.ini.bak")), later.settings);
    QCOMPARE(run.entryList({"*.restore-tmp", "*-journal"}, QDir::Files), QStringList{});
}

void TestBackup::withoutTheRight_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<bool>("rightTakenAway"); // by the operator program after the login
    QTest::addColumn<QString>("button");
    QTest::newRow("operator without the right, backup") << "收银" << false << "按钮_备份数据";
    QTest::newRow("operator without the right, restore") << "收银" << false << "按钮_恢复数据";
    QTest::newRow("right taken away, backup") << "店长" << true << "按钮_备份数据";
    QTest::newRow("right taken away, restore") << "店长" << true << "按钮_恢复数据";
}

void TestBackup::withoutTheRight() {
    QFETCH(QString, login);
    QFETCH(bool, rightTakenAway);
    QFETCH(QString, button);
    QVERIFY(start(login));
    if (rightTakenAway) {
        RecordStore other;
        QVERIFY(other.openTable(f->operatorPath(), kTablePassword, operators::fieldList()) &&
                other.goToRecord(1) && other.writeFlag(operators::kFieldRight, false));
    }
    // A valid backup to restore, made behind the program's back.
    const QString folder = m_parent->file("backup");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::copy(f->operatorPath(), folder + "/gly.dat"));
    const DataSnapshot before = snapshot(f->dir());
    m_folders->answers = {m_parent->path(), folder};

    f->main().settingsPage()->findChild<QPushButton*>(button)->click();
    QCOMPARE(f->boxes().texts(), QStringList{backup::kNoRightText});
    QCOMPARE(f->boxes().seen()[0].icon, QMessageBox::Critical);
    QCOMPARE(m_folders->asked, 0);
    QCOMPARE(QDir(m_parent->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"backup"});
    QCOMPARE(snapshot(f->dir()), before);
    QVERIFY(m_starts.isEmpty());
}

void TestBackup::refusedRestore_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("chooser cancelled") << "cancel" << QStringList{};
    QTest::newRow("empty folder") << "empty" << QStringList{backup::kNotABackupText};
    QTest::newRow("damaged member table") << "damaged" << QStringList{backup::kNotABackupText};
    QTest::newRow("member table as operator table") << "swapped" << QStringList{backup::kNotABackupText};
    QTest::newRow("question answered Cancel") << "no" << QStringList{backup::kRestoreQuestion};
}

void TestBackup::refusedRestore() {
    QFETCH(QString, kind);
    QFETCH(QStringList, messages);
    QVERIFY(start("店长"));
    charge("30");
    const QString folder = m_parent->file("backup");
    QVERIFY(QDir().mkdir(folder));
    if (kind == "damaged" || kind == "no") {
        QVERIFY(QFile::copy(f->operatorPath(), folder + "/gly.dat"));
        QVERIFY(QFile::copy(f->memberPath(), folder + "/thy.dat"));
    }
    if (kind == "damaged")
        QVERIFY(writeBytes(folder + "/thy.dat", readBytes(folder + "/thy.dat").left(3000)));
    if (kind == "swapped")
        QVERIFY(QFile::copy(f->memberPath(), folder + "/gly.dat"));
    const DataSnapshot before = snapshot(f->dir());
    f->boxes().clear();
    m_folders->answers = {kind == "cancel" ? QString() : folder};
    f->boxes().queueAnswers({false});

    f->main().onToolbarClick(0);
    settingsPage().按钮_恢复数据->click();
    QCOMPARE(f->boxes().texts(), messages);
    QCOMPARE(snapshot(f->dir()), before);
    QVERIFY(m_starts.isEmpty());
    QVERIFY(f->main().isVisible());
    QCOMPARE(QDir(f->dir()).entryList({"*.bak", "*.restore-tmp"}, QDir::Files), QStringList{});
}

void TestBackup::backupIntoAMissingFolder() {
    QVERIFY(start("店长"));
    m_folders->answers = {m_parent->file("gone")};
    f->main().onToolbarClick(0);
    settingsPage().按钮_备份数据->click();
    QCOMPARE(f->boxes().texts(), QStringList{backup::kBackupFailedText});
    QCOMPARE(QDir(m_parent->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

QTEST_MAIN(TestBackup)
#include "TestBackup.moc"
