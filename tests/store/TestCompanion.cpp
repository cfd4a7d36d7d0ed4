// Companion tables: a second table file committed together with the current table, its reads,
// and the copy of a table file taken while the program has it open.
#include "store/RecordStore.h"
#include "tests/support/TempRunDir.h"
#include "text/Gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sqlcipher/sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;
using quorvel::test::TempRunDir;

Q_DECLARE_METATYPE(quorvel::RecordStore::Condition)
using quorvel::test::writeBytes;

namespace {

const QString kPassword = QStringLiteral("~^!5");
const QString kCard = QStringLiteral("卡号");
const QString kBalance = QStringLiteral("余额");
const QList<FieldDef> kMainFields{{kCard, TextField, 30}, {kBalance, TextField, 30}};

const QString kTime = QStringLiteral("时间");
const QString kEntryCard = QStringLiteral("会员卡号");
const QString kAmount = QStringLiteral("数额");
const QList<FieldDef> kEntryFields{
    {kTime, TextField, 19}, {kEntryCard, TextField, 30}, {kAmount, TextField, 8}};
const QList<QStringList> kEntryIndexes{{kTime}, {kEntryCard, kTime}};

// A protected main table of two members: card "1" with balance "100", card "2" with "50".
bool makeMainTable(const QString& path) {
    RecordStore store;
    if (!store.createTable(path, kMainFields) || !store.openTable(path) || !store.setPassword(kPassword))
        return false;
    for (const auto& [card, balance] : {std::pair{"1", "100"}, std::pair{"2", "50"}}) {
        if (!store.addBlankRecord() || !store.writeField(kCard, QString::fromUtf8(card)) ||
            !store.writeField(kBalance, QString::fromUtf8(balance)))
            return false;
    }
    store.closeAll();
    return true;
}

struct Entry {
    int record = 0;
    QStringList values;
};

QList<Entry> entries(const RecordStore& store, const QList<RecordStore::Condition>& where = {},
                     const QString& descendingBy = QString(), qint64 offset = 0, qint64 limit = -1) {
    QList<Entry> out;
    const bool ok = store.readCompanionRecords(where, descendingBy, offset, limit,
                                               [&](int record, std::span<const QByteArrayView> values) {
                                                   Entry e{record, {}};
                                                   for (QByteArrayView v : values)
                                                       e.values << fromGbk(v.toByteArray());
                                                   out << e;
                                               });
    if (!ok)
        qWarning() << "read failed:" << store.lastError();
    return out;
}

QList<int> recordNumbers(const QList<Entry>& list) {
    QList<int> out;
    for (const Entry& e : list)
        out << e.record;
    return out;
}

// What the parent finds after a child changed member 1 and appended an entry in one transaction.
struct Outcome {
    QString balance;
    qint64 entries = -1;
};

Outcome readOutcome(const QString& main, const QString& companion) {
    RecordStore store;
    Outcome o;
    if (!store.openTable(main, kPassword) || !store.goToRecord(1))
        return o;
    o.balance = store.readField(kBalance);
    if (QFile::exists(companion) && store.attachCompanion(companion, kEntryFields, kEntryIndexes))
        o.entries = store.countCompanionRecords({});
    else if (!QFile::exists(companion))
        o.entries = 0;
    return o;
}

// --- a file system that ends the process at a chosen step -----------------------------------
// Wraps the default one; once armed, every write, sync, truncation or deletion counts one step,
// and the process exits at once, without any clean-up, when the countdown reaches zero.

sqlite3_vfs* g_real = nullptr;
int g_countdown = 0;

void step() {
    if (g_countdown > 0 && --g_countdown == 0)
        ::_exit(77);
}

struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real; // follows this struct in the same allocation
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<ShimFile*>(f)->real;
}

int shimClose(sqlite3_file* f) {
    return real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK;
}
int shimRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
    return real(f)->pMethods->xRead(real(f), p, n, o);
}
int shimWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    step();
    return real(f)->pMethods->xWrite(real(f), p, n, o);
}
int shimTruncate(sqlite3_file* f, sqlite3_int64 size) {
    step();
    return real(f)->pMethods->xTruncate(real(f), size);
}
int shimSync(sqlite3_file* f, int flags) {
    step();
    return real(f)->pMethods->xSync(real(f), flags);
}
int shimFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int shimLock(sqlite3_file* f, int l) {
    return real(f)->pMethods->xLock(real(f), l);
}
int shimUnlock(sqlite3_file* f, int l) {
    return real(f)->pMethods->xUnlock(real(f), l);
}
int shimCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int shimFileControl(sqlite3_file* f, int op, void* arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int shimSectorSize(sqlite3_file* f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int shimDeviceCharacteristics(sqlite3_file* f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}

// Version 1 methods only: no shared memory (rollback journals) and no memory mapping.
const sqlite3_io_methods kShimMethods = {
    1,
    shimClose,
    shimRead,
    shimWrite,
    shimTruncate,
    shimSync,
    shimFileSize,
    shimLock,
    shimUnlock,
    shimCheckReservedLock,
    shimFileControl,
    shimSectorSize,
    shimDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int shimOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    auto* shim = reinterpret_cast<ShimFile*>(f);
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    shim->real->pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
    f->pMethods = shim->real->pMethods ? &kShimMethods : nullptr;
    return rc;
}
int shimDelete(sqlite3_vfs*, const char* name, int syncDir) {
    step();
    return g_real->xDelete(g_real, name, syncDir);
}
int shimAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_real->xAccess(g_real, name, flags, out);
}
int shimFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return g_real->xFullPathname(g_real, name, n, out);
}
int shimRandomness(sqlite3_vfs*, int n, char* out) {
    return g_real->xRandomness(g_real, n, out);
}
int shimSleep(sqlite3_vfs*, int us) {
    return g_real->xSleep(g_real, us);
}
int shimCurrentTime(sqlite3_vfs*, double* out) {
    return g_real->xCurrentTime(g_real, out);
}
int shimGetLastError(sqlite3_vfs*, int n, char* out) {
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, n, out) : 0;
}

void installShim() {
    static sqlite3_vfs shim;
    g_real = sqlite3_vfs_find(nullptr);
    shim = sqlite3_vfs{};
    shim.iVersion = 1;
    shim.szOsFile = int(sizeof(ShimFile)) + g_real->szOsFile;
    shim.mxPathname = g_real->mxPathname;
    shim.zName = "crash-shim";
    shim.xOpen = shimOpen;
    shim.xDelete = shimDelete;
    shim.xAccess = shimAccess;
    shim.xFullPathname = shimFullPathname;
    shim.xDlOpen = g_real->xDlOpen;
    shim.xDlError = g_real->xDlError;
    shim.xDlSym = g_real->xDlSym;
    shim.xDlClose = g_real->xDlClose;
    shim.xRandomness = shimRandomness;
    shim.xSleep = shimSleep;
    shim.xCurrentTime = shimCurrentTime;
    shim.xGetLastError = shimGetLastError;
    sqlite3_vfs_register(&shim, 1);
}

// Child: charges member 1 thirty and appends the entry in one transaction; exits 77 when the
// countdown ends it first, 0 when the commit went through, 1 when something failed.
[[noreturn]] void runCharge(const QString& main, const QString& companion, int crashAtStep) {
    installShim();
    RecordStore store;
    int code = 1;
    if (store.openTable(main, kPassword) && store.attachCompanion(companion, kEntryFields, kEntryIndexes) &&
        store.goToRecord(1)) {
        g_countdown = crashAtStep;
        RecordStore::Transaction tx(store);
        if (tx.isActive() && store.writeField(kBalance, QStringLiteral("70")) &&
            store.appendCompanionRecord(
                {QStringLiteral("2024-05-01 10:00:00"), QStringLiteral("1"), QStringLiteral("30")}) &&
            tx.commit())
            code = 0;
    }
    ::_exit(code);
}

int runChild(const QString& main, const QString& companion, int crashAtStep) {
    const pid_t pid = ::fork();
    if (pid == 0)
        runCharge(main, companion, crashAtStep);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

QString g_failingField;
bool failNamedWrite(const QString& field) {
    return field != g_failingField;
}

} // namespace

class TestCompanion : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void appendCommitsWithTheTable();
    void appendNeedsATransaction();
    void failedWriteLeavesNeither_data();
    void failedWriteLeavesNeither();
    void crashAtEveryStepOfTheCommitLeavesBothOrNeither();
    void refusedCompanion_data();
    void refusedCompanion();
    void reads_data();
    void reads();
    void copyWhileOpenIsIdentical();
    void copyRefusals_data();
    void copyRefusals();

  private:
    QString mainPath() const { return m_dir->file(QStringLiteral("main.dat")); }
    QString companionPath() const { return m_dir->file(QStringLiteral("entries.dat")); }
    bool openBoth(RecordStore& store) {
        return store.openTable(mainPath(), kPassword) &&
               store.attachCompanion(companionPath(), kEntryFields, kEntryIndexes);
    }
    std::unique_ptr<TempRunDir> m_dir;
};

void TestCompanion::init() {
    m_dir = std::make_unique<TempRunDir>();
    QVERIFY(makeMainTable(mainPath()));
}

void TestCompanion::cleanup() {
    g_failingField.clear();
    m_dir.reset();
}

void TestCompanion::appendCommitsWithTheTable() {
    {
        RecordStore store;
        QVERIFY(!QFile::exists(companionPath()));
        QVERIFY2(openBoth(store), qPrintable(store.lastError()));
        // Created on demand, protected like the table it belongs to.
        QVERIFY(store.isEncrypted(companionPath()));
        QCOMPARE(QFileInfo(store.companionFile()).fileName(), QStringLiteral("entries.dat"));
        QVERIFY(store.attachCompanion(companionPath(), kEntryFields, kEntryIndexes)); // again: a no-op
        QCOMPARE(store.countCompanionRecords({}), 0);
        QVERIFY(store.goToRecord(2));
        RecordStore::Transaction tx(store);
        QVERIFY(store.writeField(kBalance, QStringLiteral("20")));
        // A text longer than its field is cut, as writeField cuts it.
        QVERIFY(store.appendCompanionRecord(
            {QStringLiteral("2024-05-01 09:30:00"), QStringLiteral("2"), QStringLiteral("一二三四五")}));
        QVERIFY(tx.commit());
    }
    RecordStore reopened;
    QVERIFY(openBoth(reopened));
    QVERIFY(reopened.goToRecord(2));
    QCOMPARE(reopened.readField(kBalance), QStringLiteral("20"));
    const QList<Entry> all = entries(reopened);
    QCOMPARE(all.size(), 1);
    QCOMPARE(all[0].record, 1);
    QCOMPARE(all[0].values, (QStringList{"2024-05-01 09:30:00", "2", "一二三四"}));
    // The companion is a table file of its own: it opens alone too.
    RecordStore alone;
    QVERIFY(alone.openTable(companionPath(), kPassword));
    QCOMPARE(alone.recordCount(), 1);
}

void TestCompanion::appendNeedsATransaction() {
    RecordStore store;
    QVERIFY(store.openTable(mainPath(), kPassword));
    QVERIFY(!store.appendCompanionRecord({"t", "1", "1"})); // nothing attached
    QVERIFY(store.attachCompanion(companionPath(), kEntryFields, kEntryIndexes));
    QVERIFY(!store.appendCompanionRecord({"t", "1", "1"})); // outside a transaction
    QCOMPARE(store.countCompanionRecords({}), 0);
    {
        RecordStore::Transaction tx(store);
        // Attaching happens outside transactions only.
        QVERIFY(!store.attachCompanion(m_dir->file(QStringLiteral("other.dat")), kEntryFields));
        QVERIFY(store.appendCompanionRecord({"t", "1", "1"}));
        // Without commit() the entry goes with the transaction.
    }
    QCOMPARE(store.countCompanionRecords({}), 0);
    QVERIFY(!QFile::exists(m_dir->file(QStringLiteral("other.dat"))));
    // Closing the table takes its companion with it.
    store.closeAll();
    QVERIFY(store.openTable(mainPath(), kPassword));
    QVERIFY(store.companionFile().isEmpty());
    QCOMPARE(store.countCompanionRecords({}), -1);
}

void TestCompanion::failedWriteLeavesNeither_data() {
    QTest::addColumn<QString>("failing");
    QTest::newRow("member write fails") << kBalance;
    QTest::newRow("entry write fails") << kTime;
}

void TestCompanion::failedWriteLeavesNeither() {
    QFETCH(QString, failing);
    RecordStore store;
    QVERIFY(openBoth(store));
    {
        // One entry already there, committed with its change.
        QVERIFY(store.goToRecord(2));
        RecordStore::Transaction tx(store);
        QVERIFY(store.writeField(kBalance, QStringLiteral("40")) &&
                store.appendCompanionRecord({"2024-05-01 08:00:00", "2", "10"}) && tx.commit());
    }
    g_failingField = failing;
    store.setWriteHookForTesting(failNamedWrite);
    QVERIFY(store.goToRecord(1));
    {
        RecordStore::Transaction tx(store);
        const bool written = store.writeField(kBalance, QStringLiteral("70")) &&
                             store.appendCompanionRecord({"2024-05-01 10:00:00", "1", "30"});
        QVERIFY(!written);
        QVERIFY(!tx.commit());
    }
    store.setWriteHookForTesting(nullptr);
    QCOMPARE(store.readField(kBalance), QStringLiteral("100"));
    QCOMPARE(store.countCompanionRecords({}), 1);
    store.closeAll();
    const Outcome after = readOutcome(mainPath(), companionPath());
    QCOMPARE(after.balance, QStringLiteral("100"));
    QCOMPARE(after.entries, 1);
}

void TestCompanion::crashAtEveryStepOfTheCommitLeavesBothOrNeither() {
    // The companion exists before the children run, so that every step counted is the charge's.
    {
        RecordStore store;
        QVERIFY(openBoth(store));
    }
    const QByteArray pristineMain = quorvel::test::readBytes(mainPath());
    const QByteArray pristineCompanion = quorvel::test::readBytes(companionPath());
    int crashes = 0;
    // Crashes after the member file itself was rewritten on disk but before the entry file was:
    // the moment a commit of one file after the other would lose the entry.
    int memberFileOnly = 0;
    for (int crashAt = 1;; ++crashAt) {
        QVERIFY(writeBytes(mainPath(), pristineMain) && writeBytes(companionPath(), pristineCompanion));
        for (const QString& leftover : QDir(m_dir->path()).entryList({"*-journal", "*-mj*"}, QDir::Files))
            QVERIFY(QFile::remove(m_dir->file(leftover)));
        const int code = runChild(mainPath(), companionPath(), crashAt);
        QVERIFY2(code == 0 || code == 77, qPrintable(QStringLiteral("child ended with %1").arg(code)));
        if (code == 77) {
            ++crashes;
            if (quorvel::test::readBytes(mainPath()) != pristineMain &&
                quorvel::test::readBytes(companionPath()) == pristineCompanion)
                ++memberFileOnly;
        }
        const Outcome o = readOutcome(mainPath(), companionPath());
        const bool neither = o.balance == QStringLiteral("100") && o.entries == 0;
        const bool both = o.balance == QStringLiteral("70") && o.entries == 1;
        QVERIFY2(neither || both, qPrintable(QStringLiteral("crash at step %1: balance %2, %3 entries")
                                                 .arg(crashAt)
                                                 .arg(o.balance)
                                                 .arg(o.entries)));
        if (code == 0) {
            QVERIFY(both);
            break;
        }
        QVERIFY(crashAt < 500);
    }
    // The sweep passed the moments that matter: before anything, and with one file rewritten.
    QVERIFY(crashes > 5);
    QVERIFY(memberFileOnly > 0);
}

void TestCompanion::refusedCompanion_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("other fields") << "fields";
    QTest::newRow("garbage file") << "garbage";
    QTest::newRow("other password") << "password";
    QTest::newRow("the table itself") << "self";
}

void TestCompanion::refusedCompanion() {
    QFETCH(QString, kind);
    QString file = companionPath();
    if (kind == "fields") {
        RecordStore other;
        QVERIFY(other.createTable(file, kMainFields) && other.openTable(file) &&
                other.setPassword(kPassword));
    } else if (kind == "garbage") {
        QVERIFY(writeBytes(file, QByteArray(4096, 'x')));
    } else if (kind == "password") {
        RecordStore other;
        QVERIFY(other.createTable(file, kEntryFields) && other.openTable(file) &&
                other.setPassword(QStringLiteral("another")));
    } else {
        file = mainPath();
    }
    const QByteArray bytes = quorvel::test::readBytes(file);
    RecordStore store;
    QVERIFY(store.openTable(mainPath(), kPassword));
    QVERIFY(!store.attachCompanion(file, kEntryFields, kEntryIndexes));
    QVERIFY(store.companionFile().isEmpty());
    QCOMPARE(quorvel::test::readBytes(file), bytes);
    // The table itself goes on working.
    QVERIFY(store.goToRecord(1));
    QVERIFY(store.writeField(kBalance, QStringLiteral("99")));
    QCOMPARE(store.readField(kBalance), QStringLiteral("99"));
}

void TestCompanion::reads_data() {
    using C = RecordStore::Condition;
    QTest::addColumn<QList<C>>("where");
    QTest::addColumn<QString>("descendingBy");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QList<int>>("want");

    // Entries 1..6 (time, card): 1 (10:00, A), 2 (09:00, B), 3 (11:00, A), 4 (11:00, B),
    // 5 (12:00, A), 6 (08:00, C).
    const QList<C> none;
    QTest::newRow("all, latest record first")
        << none << QString() << qint64(0) << qint64(-1) << QList<int>{6, 5, 4, 3, 2, 1};
    QTest::newRow("all, by time") << none << kTime << qint64(0) << qint64(-1) << QList<int>{5, 4, 3, 1, 2, 6};
    QTest::newRow("window of two") << none << kTime << qint64(2) << qint64(2) << QList<int>{3, 1};
    QTest::newRow("window past the end") << none << kTime << qint64(5) << qint64(10) << QList<int>{6};
    QTest::newRow("one card") << QList<C>{{kEntryCard, C::Equal, "A"}} << kTime << qint64(0) << qint64(-1)
                              << QList<int>{5, 3, 1};
    QTest::newRow("time range") << QList<C>{{kTime, C::AtLeast, "2024-05-01 09:00:00"},
                                            {kTime, C::AtMost, "2024-05-01 11:00:00"}}
                                << kTime << qint64(0) << qint64(-1) << QList<int>{4, 3, 1, 2};
    QTest::newRow("card and range") << QList<C>{{kEntryCard, C::Equal, "B"},
                                                {kTime, C::AtLeast, "2024-05-01 10:00:00"}}
                                    << kTime << qint64(0) << qint64(-1) << QList<int>{4};
    QTest::newRow("no match") << QList<C>{{kEntryCard, C::Equal, "a"}} << kTime << qint64(0) << qint64(-1)
                              << QList<int>{};
}

void TestCompanion::reads() {
    QFETCH(QList<RecordStore::Condition>, where);
    QFETCH(QString, descendingBy);
    QFETCH(qint64, offset);
    QFETCH(qint64, limit);
    QFETCH(QList<int>, want);
    RecordStore store;
    QVERIFY(openBoth(store));
    const QList<std::pair<const char*, const char*>> rows = {{"10:00", "A"}, {"09:00", "B"}, {"11:00", "A"},
                                                             {"11:00", "B"}, {"12:00", "A"}, {"08:00", "C"}};
    {
        RecordStore::Transaction tx(store);
        for (const auto& [time, card] : rows)
            QVERIFY(store.appendCompanionRecord({QStringLiteral("2024-05-01 ") + time + QStringLiteral(":00"),
                                                 QString::fromUtf8(card), "1"}));
        QVERIFY(tx.commit());
    }
    const QList<Entry> got = entries(store, where, descendingBy, offset, limit);
    QCOMPARE(recordNumbers(got), want);
    for (const Entry& e : got)
        QCOMPARE(e.values[1], QString::fromUtf8(rows[e.record - 1].second));
    // The count ignores the window.
    qint64 matching = 0;
    for (int i = 0; i < rows.size(); ++i)
        matching += recordNumbers(entries(store, where)).contains(i + 1) ? 1 : 0;
    QCOMPARE(store.countCompanionRecords(where), matching);
    QCOMPARE(store.countCompanionRecords({{QStringLiteral("无此字段"), RecordStore::Condition::Equal, "x"}}),
             -1);
}

void TestCompanion::copyWhileOpenIsIdentical() {
    RecordStore store;
    QVERIFY(openBoth(store));
    {
        QVERIFY(store.goToRecord(1));
        RecordStore::Transaction tx(store);
        QVERIFY(store.writeField(kBalance, QStringLiteral("75")) &&
                store.appendCompanionRecord({"2024-05-01 10:00:00", "1", "25"}) && tx.commit());
    }
    const QString copyMain = m_dir->file(QStringLiteral("copy-main.dat"));
    const QString copyCompanion = m_dir->file(QStringLiteral("copy-entries.dat"));
    {
        RecordStore::Lock lock(store);
        QVERIFY2(store.copyTableFile(mainPath(), copyMain, kPassword), qPrintable(store.lastError()));
        QVERIFY2(store.copyTableFile(companionPath(), copyCompanion, kPassword),
                 qPrintable(store.lastError()));
    }
    // The open table went on working while it was copied, and the copies hold what it held.
    QVERIFY(store.goToRecord(2));
    QVERIFY(store.writeField(kBalance, QStringLiteral("1")));
    RecordStore copy;
    QVERIFY(copy.openTable(copyMain, kPassword));
    QCOMPARE(copy.recordCount(), 2);
    QVERIFY(copy.goToRecord(1));
    QCOMPARE(copy.readRecord(), (QStringList{"1", "75"}));
    QVERIFY(copy.goToRecord(2));
    QCOMPARE(copy.readRecord(), (QStringList{"2", "50"}));
    QVERIFY(copy.attachCompanion(copyCompanion, kEntryFields, kEntryIndexes));
    const QList<Entry> copied = entries(copy);
    QCOMPARE(copied.size(), 1);
    QCOMPARE(copied[0].values, (QStringList{"2024-05-01 10:00:00", "1", "25"}));
}

void TestCompanion::copyRefusals_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("target exists") << "exists";
    QTest::newRow("wrong password") << "password";
    QTest::newRow("inside a transaction") << "transaction";
    QTest::newRow("not a table") << "garbage";
}

void TestCompanion::copyRefusals() {
    QFETCH(QString, kind);
    const QString target = m_dir->file(QStringLiteral("copy.dat"));
    QString source = mainPath();
    QString password = kPassword;
    if (kind == "exists")
        QVERIFY(writeBytes(target, "keep"));
    if (kind == "password")
        password = QStringLiteral("wrong");
    if (kind == "garbage") {
        source = m_dir->file(QStringLiteral("garbage.dat"));
        QVERIFY(writeBytes(source, QByteArray(4096, 'x')));
    }
    RecordStore store;
    QVERIFY(store.openTable(mainPath(), kPassword));
    std::optional<RecordStore::Transaction> tx;
    if (kind == "transaction")
        tx.emplace(store);
    QVERIFY(!store.copyTableFile(source, target, password));
    tx.reset();
    if (kind == "exists")
        QCOMPARE(quorvel::test::readBytes(target), QByteArray("keep"));
    else
        QVERIFY(!QFile::exists(target));
}

QTEST_GUILESS_MAIN(TestCompanion)
#include "TestCompanion.moc"
