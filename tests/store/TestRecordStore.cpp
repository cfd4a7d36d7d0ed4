#include "store/RecordStore.h"
#include "tests/support/TempRunDir.h"
#include "text/Gbk.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace quorvel;
using quorvel::test::readBytes;
using quorvel::test::TempRunDir;
using quorvel::test::writeBytes;

namespace {

const QList<FieldDef> kFields{
    {QStringLiteral("NAME"), TextField, 20},
    {QStringLiteral("NOTE"), TextField, 30},
    {QStringLiteral("VIP"), LogicalField, 1},
};

bool createWithNames(RecordStore& store, const QString& file, const QStringList& names) {
    if (!store.createTable(file, kFields) || !store.openTable(file)) {
        qWarning() << "cannot create" << file << store.lastError();
        return false;
    }
    for (const QString& n : names) {
        if (!store.addBlankRecord() || !store.writeField(QStringLiteral("NAME"), n)) {
            qWarning() << "cannot fill" << file << store.lastError();
            return false;
        }
    }
    store.closeAll();
    return true;
}

QStringList allNames(RecordStore& store) {
    QStringList out;
    for (int n = 1; n <= store.recordCount(); ++n) {
        store.goToRecord(n);
        out << store.readField(QStringLiteral("NAME"));
    }
    return out;
}

// What a plain scan in record order answers; the indexed lookups must agree with it.
int scanFirst(RecordStore& store, const QString& field, const QString& value, int from) {
    for (int n = std::max(from, 1); n <= store.recordCount(); ++n) {
        store.goToRecord(n);
        if (toGbk(store.readField(field)) == toGbk(value))
            return n;
    }
    return 0;
}

QList<int> scanAll(RecordStore& store, const QString& field, const QString& value) {
    QList<int> out;
    for (int n = scanFirst(store, field, value, 1); n != 0;
         n = scanFirst(store, field, value, n + 1))
        out << n;
    return out;
}

// Copies a database in the middle of a write transaction together with its journal, as a
// crash would leave it: the copy's journal is hot and its main file already partly rewritten.
bool makeHotJournalCopy(const QString& source, const QByteArray& key, const QString& dest) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    if (!key.isEmpty())
        sqlite3_key(db, key.constData(), int(key.size()));
    bool ok = sqlite3_exec(db,
                           "PRAGMA cache_size = 5; BEGIN IMMEDIATE;"
                           "CREATE TABLE junk(x BLOB);"
                           "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
                           "WHERE i < 300) INSERT INTO junk SELECT randomblob(900) FROM c;",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = ok && QFile::copy(source, dest) &&
         QFile::copy(source + QStringLiteral("-journal"), dest + QStringLiteral("-journal"));
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return ok;
}

bool makeForeignSqlite(const QString& file) {
    sqlite3* db = nullptr;
    const bool ok =
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, "CREATE TABLE people(name TEXT, age INTEGER);"
                         "INSERT INTO people VALUES('x', 1);",
                     nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Root writes through any file mode; dropping the override capability on this thread lets a
// read-only file be read-only again.
class WithoutDacOverride {
public:
    WithoutDacOverride() {
        if (::geteuid() != 0)
            return;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutDacOverride() {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

int g_hookCalls = 0;
bool refuseNote(const QString& field) {
    ++g_hookCalls;
    return field != QLatin1String("NOTE");
}

} // namespace

class TestRecordStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void passwordRoundTrip();
    void refusedOpen_data();
    void refusedOpen();
    void hotJournalOfOwnTableIsRecovered();
    void damageAfterACheckIsStillRefused_data();
    void damageAfterACheckIsStillRefused();
    void purgeRenumbers_data();
    void purgeRenumbers();
    void openDiscipline();
    void lockedThreadsKeepTheirRecord();
    void transactionRollsBackWithoutCommit();
    void failedWriteLeavesRecordUnchanged();
    void committedTransactionSurvivesReopen();
    void nestedTransactionJoinsOuter();
    void transactionThatCannotBeginRefusesWrites();
    void longTextIsCutAtCharacterBoundary_data();
    void longTextIsCutAtCharacterBoundary();
    void findMatchesScanInRecordOrder();
    void writeFailureIsReported_data();
    void writeFailureIsReported();

private:
    TempRunDir m_fixtures;
    QByteArray m_plainTable;
    QByteArray m_protectedTable;
    QByteArray m_foreign;
};

void TestRecordStore::initTestCase() {
    QVERIFY(m_fixtures.isValid());
    RecordStore store;
    const QString plain = m_fixtures.file(QStringLiteral("plain.tbl"));
    QVERIFY(createWithNames(store, plain,
                            {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("三")}));
    m_plainTable = readBytes(plain);

    const QString prot = m_fixtures.file(QStringLiteral("protected.tbl"));
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many << QStringLiteral("member %1").arg(i);
    QVERIFY(createWithNames(store, prot, many));
    QVERIFY(store.openTable(prot));
    QVERIFY(store.setPassword(kTablePassword));
    store.closeAll();
    m_protectedTable = readBytes(prot);
    QVERIFY(m_protectedTable.size() > 8 * 1024);

    const QString foreign = m_fixtures.file(QStringLiteral("foreign.db"));
    QVERIFY(makeForeignSqlite(foreign));
    m_foreign = readBytes(foreign);
}

void TestRecordStore::passwordRoundTrip() {
    TempRunDir dir;
    RecordStore store;
    // Characters that mean something in a file URI must not confuse the engine.
    const QString fileName = QStringLiteral("会员 #1?%20.tbl");
    const QString file = dir.file(fileName);
    QVERIFY(store.createTable(file, kFields));
    QVERIFY(!store.createTable(file, kFields)); // never over an existing file
    QVERIFY(store.openTable(file));
    QVERIFY(!store.isEncrypted(file));

    const QString chinese = QStringLiteral("张三丰·会员");
    QVERIFY(store.addBlankRecord());
    QVERIFY(store.writeField(QStringLiteral("NAME"), chinese));
    QVERIFY(store.writeFlag(QStringLiteral("VIP"), true));
    QVERIFY(store.addBlankRecord());
    QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("plain ascii")));
    QVERIFY(store.modifyField(2, QStringLiteral("备注")));

    QVERIFY(store.setPassword(kTablePassword));
    QVERIFY(store.isEncrypted(file));
    QVERIFY(!readBytes(file).startsWith(QByteArray("SQLite format 3\0", 16)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{fileName});
    // Still current, same record, still writable.
    QCOMPARE(store.currentFile(), QFileInfo(file).absoluteFilePath());
    QCOMPARE(store.currentRecord(), 2);
    QCOMPARE(store.readField(QStringLiteral("NOTE")), QStringLiteral("备注"));
    QVERIFY(store.writeField(QStringLiteral("NOTE"), QStringLiteral("加密后")));

    store.closeAll();
    QVERIFY(!store.openTable(file));
    QVERIFY(!store.openTable(file, QStringLiteral("wrong")));
    QVERIFY(store.openTable(file, kTablePassword));
    QCOMPARE(store.recordCount(), 2);
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), chinese);
    QVERIFY(store.readFlag(QStringLiteral("VIP")));
    QCOMPARE(store.readRecord(), (QStringList{chinese, QString(), QStringLiteral("1")}));
    QVERIFY(store.goToRecord(2));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("plain ascii"));
    QCOMPARE(store.readField(QStringLiteral("NOTE")), QStringLiteral("加密后"));
    QVERIFY(!store.readFlag(QStringLiteral("VIP")));

    // A second password replaces the first.
    QVERIFY(store.setPassword(QStringLiteral("other")));
    store.closeAll();
    QVERIFY(!store.openTable(file, kTablePassword));
    QVERIFY(store.openTable(file, QStringLiteral("other")));
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), chinese);
}

void TestRecordStore::refusedOpen_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("password"); // "-" for none
    QTest::addColumn<QByteArray>("journal"); // beside the file when not empty

    const QString none = QStringLiteral("-");
    const QByteArray& prot = m_protectedTable;
    QTest::newRow("wrong password") << prot << true << QStringLiteral("~^!6") << QByteArray();
    QTest::newRow("no password for protected") << prot << true << none << QByteArray();
    QTest::newRow("password for plain") << m_plainTable << true << kTablePassword << QByteArray();
    for (const qsizetype cut : {qsizetype(100), qsizetype(1024), qsizetype(3000),
                                prot.size() / 2, prot.size() - 1024, prot.size() - 1})
        QTest::addRow("protected truncated to %lld", qlonglong(cut))
            << prot.left(cut) << true << kTablePassword << QByteArray();
    for (const qsizetype cut : {qsizetype(50), m_plainTable.size() - 1,
                                m_plainTable.size() - 4096})
        QTest::addRow("plain truncated to %lld", qlonglong(cut))
            << m_plainTable.left(cut) << true << none << QByteArray();
    QByteArray damaged = prot;
    for (int i = 200; i < 260; ++i)
        damaged[i] = char(damaged[i] ^ 0x5a);
    QTest::newRow("damaged first page") << damaged << true << kTablePassword << QByteArray();
    damaged = prot;
    for (qsizetype i = prot.size() / 2 + 300; i < prot.size() / 2 + 310; ++i)
        damaged[i] = char(damaged[i] ^ 0x01);
    QTest::newRow("damaged middle page") << damaged << true << kTablePassword << QByteArray();
    QByteArray random(16 * 1024, Qt::Uninitialized);
    QRandomGenerator gen(42);
    gen.fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    QTest::newRow("random bytes with password") << random << true << kTablePassword << QByteArray();
    QTest::newRow("random bytes without password") << random << true << none << QByteArray();
    QTest::newRow("zero bytes") << QByteArray() << true << none << QByteArray();
    QTest::newRow("zero bytes with password") << QByteArray() << true << kTablePassword
                                              << QByteArray();
    QTest::newRow("other sqlite schema") << m_foreign << true << none << QByteArray();
    QTest::newRow("missing") << QByteArray() << false << none << QByteArray();
    QTest::newRow("missing with password") << QByteArray() << false << kTablePassword
                                           << QByteArray();

    // With a hot journal beside it, a look that let the engine roll it back would rewrite the
    // file: these must be refused before that can happen.
    TempRunDir dir;
    const QString prot2 = dir.file(QStringLiteral("p.tbl"));
    const QString protHot = dir.file(QStringLiteral("p-hot.tbl"));
    const QString foreign = dir.file(QStringLiteral("f.db"));
    const QString foreignHot = dir.file(QStringLiteral("f-hot.db"));
    if (writeBytes(prot2, prot) &&
        makeHotJournalCopy(prot2, toGbk(kTablePassword), protHot)) {
        QTest::newRow("hot journal, wrong password")
            << readBytes(protHot) << true << QStringLiteral("nope")
            << readBytes(protHot + QStringLiteral("-journal"));
    }
    if (writeBytes(foreign, m_foreign) && makeHotJournalCopy(foreign, QByteArray(), foreignHot)) {
        QTest::newRow("hot journal, other sqlite schema")
            << readBytes(foreignHot) << true << none
            << readBytes(foreignHot + QStringLiteral("-journal"));
    }
}

void TestRecordStore::refusedOpen() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QFETCH(QString, password);
    QFETCH(QByteArray, journal);

    TempRunDir dir;
    RecordStore store;
    const QString current = dir.file(QStringLiteral("current.tbl"));
    QVERIFY(writeBytes(current, m_plainTable));
    QVERIFY(store.openTable(current));
    QVERIFY(store.goToRecord(2));

    const QString target = dir.file(QStringLiteral("target.tbl"));
    const QString journalFile = target + QStringLiteral("-journal");
    if (exists)
        QVERIFY(writeBytes(target, bytes));
    if (!journal.isEmpty())
        QVERIFY(writeBytes(journalFile, journal));
    const QByteArray before = readBytes(target);

    const std::optional<QString> pw =
        password == QLatin1String("-") ? std::nullopt : std::optional<QString>(password);
    QVERIFY(!store.openTable(target, pw));
    QVERIFY(!store.lastError().isEmpty());
    QVERIFY(!store.openReplacingCurrent(target, pw.value_or(QString())));

    QCOMPARE(QFileInfo::exists(target), exists);
    QCOMPARE(readBytes(target), before);
    QCOMPARE(readBytes(journalFile), journal);
    QVERIFY(!store.isOpen(target));
    QCOMPARE(store.currentFile(), current);
    QCOMPARE(store.currentRecord(), 2);
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("two"));
    QVERIFY(store.isOpen(current));
}

void TestRecordStore::damageAfterACheckIsStillRefused_data() {
    // How the file was last seen sound before another program damaged it in place.
    QTest::addColumn<QString>("seen");
    QTest::newRow("never checked") << QStringLiteral("none");
    QTest::newRow("checked by verifyFile") << QStringLiteral("verify");
    QTest::newRow("opened and closed") << QStringLiteral("open");
    QTest::newRow("checked, then written by the store") << QStringLiteral("write");
}

void TestRecordStore::damageAfterACheckIsStillRefused() {
    QFETCH(QString, seen);
    TempRunDir dir;
    const QString target = dir.file(QStringLiteral("target.tbl"));
    QVERIFY(writeBytes(target, m_protectedTable));
    // A file last changed long ago, so that the check may be trusted for as long as it stays so.
    auto age = [&] {
        QFile f(target);
        return f.open(QIODevice::ReadWrite) &&
               f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    };
    QVERIFY(age());
    RecordStore store;
    if (seen == QLatin1String("verify")) {
        QVERIFY(store.verifyFile(target, kTablePassword));
    } else if (seen != QLatin1String("none")) {
        QVERIFY(store.openTable(target, kTablePassword));
        if (seen == QLatin1String("write")) {
            QVERIFY(store.goToRecord(1));
            QVERIFY(store.writeField(QStringLiteral("NOTE"), QStringLiteral("看过")));
        }
        store.closeAll();
    }

    // The same size, the same file: only its bytes differ.
    QByteArray bytes = readBytes(target);
    for (qsizetype i = bytes.size() / 2 + 300; i < bytes.size() / 2 + 310; ++i)
        bytes[i] = char(bytes[i] ^ 0x01);
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    QVERIFY(!store.verifyFile(target, kTablePassword));
    QVERIFY(!store.openTable(target, kTablePassword));
    QCOMPARE(readBytes(target), bytes);
}

void TestRecordStore::hotJournalOfOwnTableIsRecovered() {
    TempRunDir dir;
    const QString source = dir.file(QStringLiteral("source.tbl"));
    const QString crashed = dir.file(QStringLiteral("crashed.tbl"));
    QVERIFY(writeBytes(source, m_protectedTable));
    QVERIFY(makeHotJournalCopy(source, toGbk(kTablePassword), crashed));
    QVERIFY(readBytes(crashed) != m_protectedTable); // the copy really is mid-write

    RecordStore store;
    QVERIFY2(store.openTable(crashed, kTablePassword), qPrintable(store.lastError()));
    QVERIFY(!QFileInfo::exists(crashed + QStringLiteral("-journal")));
    QCOMPARE(store.recordCount(), 200);
    QVERIFY(store.goToRecord(200));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("member 199"));
    store.closeAll();
    // Rolled back: the interrupted transaction's table is gone and the size is the old one
    // (the bytes differ: pages written back are encrypted afresh).
    QCOMPARE(QFileInfo(crashed).size(), qint64(m_protectedTable.size()));
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(crashed).constData(), &db, SQLITE_OPEN_READONLY,
                             nullptr),
             SQLITE_OK);
    const QByteArray key = toGbk(kTablePassword);
    sqlite3_key(db, key.constData(), int(key.size()));
    sqlite3_stmt* st = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE name = 'junk'", -1,
                                &st, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_step(st), SQLITE_ROW);
    const int junk = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    QCOMPARE(junk, 0);
}

void TestRecordStore::purgeRenumbers_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<QList<int>>("deleted");

    QTest::newRow("middle of three") << 3 << QList<int>{2};
    QTest::newRow("several") << 8 << QList<int>{1, 3, 4, 8};
    QTest::newRow("first") << 3 << QList<int>{1};
    QTest::newRow("last") << 3 << QList<int>{3};
    QTest::newRow("all") << 3 << QList<int>{1, 2, 3};
    QTest::newRow("none") << 3 << QList<int>{};
}

void TestRecordStore::purgeRenumbers() {
    QFETCH(int, records);
    QFETCH(QList<int>, deleted);

    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QStringList names, kept;
    for (int i = 1; i <= records; ++i) {
        names << QStringLiteral("rec%1").arg(i);
        if (!deleted.contains(i))
            kept << names.last();
    }
    QVERIFY(createWithNames(store, file, names));
    QVERIFY(store.openTable(file));
    for (int n : deleted) {
        QVERIFY(store.goToRecord(n));
        QVERIFY(store.deleteRecord());
    }
    QCOMPARE(store.recordCount(), records); // marked only
    QVERIFY(store.purgeDeleted());
    QCOMPARE(store.currentRecord(), 0);
    QCOMPARE(store.recordCount(), kept.size());
    QCOMPARE(allNames(store), kept);

    // New records continue the numbering, and all of it is on disk.
    QVERIFY(store.addBlankRecord());
    QCOMPARE(store.currentRecord(), kept.size() + 1);
    QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("new")));
    store.closeAll();
    QVERIFY(store.openTable(file));
    QCOMPARE(allNames(store), kept + QStringList{QStringLiteral("new")});
}

void TestRecordStore::openDiscipline() {
    TempRunDir dir;
    RecordStore store;
    const QString a = dir.file(QStringLiteral("shop.tbl"));
    const QString aUpper = dir.file(QStringLiteral("SHOP.TBL")); // a different file here
    const QString b = dir.file(QStringLiteral("b.tbl"));
    const QString c = dir.file(QStringLiteral("c.tbl"));
    for (const QString& f : {a, aUpper, b, c})
        QVERIFY(createWithNames(store, f, {QFileInfo(f).fileName()}));

    QVERIFY(!store.hasCurrentTable());
    QVERIFY(store.openTable(a));
    QVERIFY(store.isOpen(a));
    QVERIFY(store.isOpen(aUpper));
    QVERIFY(store.isOpen(dir.path() + QStringLiteral("/./sub/../shop.tbl")));
    QVERIFY(!store.isOpen(b));
    QVERIFY(!store.openTable(a));
    QVERIFY(!store.openTable(aUpper));
    QCOMPARE(store.currentFile(), a);

    QVERIFY(store.openTable(b));
    QCOMPARE(store.currentFile(), b);
    QVERIFY(store.isOpen(a));

    QVERIFY(store.openReplacingCurrent(c, QString()));
    QCOMPARE(store.currentFile(), c);
    QVERIFY(!store.isOpen(b));
    QVERIFY(store.isOpen(a));
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("c.tbl"));

    // A failed replacement leaves the current table in place.
    QVERIFY(!store.openReplacingCurrent(dir.file(QStringLiteral("missing.tbl")), QString()));
    QVERIFY(!store.openReplacingCurrent(a, QString()));
    QCOMPARE(store.currentFile(), c);
    QVERIFY(store.isOpen(a));
    QCOMPARE(store.currentRecord(), 1);

    store.closeAll();
    QVERIFY(!store.hasCurrentTable());
    QVERIFY(!store.isOpen(a));
    QVERIFY(!store.isOpen(c));
    QVERIFY(store.openTable(aUpper));
}

void TestRecordStore::lockedThreadsKeepTheirRecord() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("A"), QStringLiteral("B")}));
    QVERIFY(store.openTable(file));

    constexpr int rounds = 150;
    std::atomic<int> mixups{0};
    auto work = [&](int record, const QString& name) {
        for (int i = 0; i < rounds; ++i) {
            RecordStore::Lock lock(store);
            if (!store.goToRecord(record)) {
                ++mixups;
                continue;
            }
            const int count = store.readField(QStringLiteral("NOTE")).toInt();
            std::this_thread::yield(); // invite the other thread in between
            if (store.readField(QStringLiteral("NAME")) != name ||
                !store.writeField(QStringLiteral("NOTE"), QString::number(count + 1)))
                ++mixups;
        }
    };
    std::thread ta(work, 1, QStringLiteral("A"));
    std::thread tb(work, 2, QStringLiteral("B"));
    ta.join();
    tb.join();

    QCOMPARE(mixups.load(), 0);
    store.closeAll();
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NOTE")), QString::number(rounds));
    QVERIFY(store.goToRecord(2));
    QCOMPARE(store.readField(QStringLiteral("NOTE")), QString::number(rounds));
}

void TestRecordStore::transactionRollsBackWithoutCommit() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("before")}));
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    {
        RecordStore::Transaction tx(store);
        QVERIFY(tx.isActive());
        QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("during")));
        QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("during"));
        QVERIFY(store.addBlankRecord());
        QCOMPARE(store.recordCount(), 2);
        QVERIFY(store.goToRecord(1));
    }
    QCOMPARE(store.recordCount(), 1);
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));
    store.closeAll();
    QVERIFY(store.openTable(file));
    QCOMPARE(store.recordCount(), 1);
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));
}

void TestRecordStore::failedWriteLeavesRecordUnchanged() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("before")}));
    QVERIFY(store.openTable(file, std::nullopt));
    QVERIFY(store.goToRecord(1));
    QVERIFY(store.writeField(QStringLiteral("NOTE"), QStringLiteral("old note")));

    g_hookCalls = 0;
    store.setWriteHookForTesting(&refuseNote);
    QVERIFY(store.writeField(QStringLiteral("NOTE"), QStringLiteral("outside"))); // not consulted
    QCOMPARE(g_hookCalls, 0);
    {
        RecordStore::Transaction tx(store);
        QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("half")));
        QVERIFY(!store.writeField(QStringLiteral("NOTE"), QStringLiteral("never")));
        QVERIFY(!store.lastError().isEmpty());
        QVERIFY(!tx.commit());
    }
    QCOMPARE(g_hookCalls, 2);
    store.setWriteHookForTesting(nullptr);
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));

    store.closeAll();
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));
    QCOMPARE(store.readField(QStringLiteral("NOTE")), QStringLiteral("outside"));
}

void TestRecordStore::committedTransactionSurvivesReopen() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("x")}));
    QVERIFY(store.openTable(file));
    QVERIFY(store.setPassword(kTablePassword));
    {
        RecordStore::Transaction tx(store);
        QVERIFY(store.goToRecord(1));
        QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("李四")));
        QVERIFY(store.addBlankRecord());
        QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("王五")));
        QVERIFY(store.writeFlag(QStringLiteral("VIP"), true));
        QVERIFY(tx.commit());
        QVERIFY(!tx.isActive());
    }
    store.closeAll();
    QVERIFY(store.openTable(file, kTablePassword));
    QCOMPARE(allNames(store), (QStringList{QStringLiteral("李四"), QStringLiteral("王五")}));
    QVERIFY(store.readFlag(QStringLiteral("VIP")));
}

void TestRecordStore::nestedTransactionJoinsOuter() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("before")}));
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));

    // The inner commit does not make anything durable: the outer one decides.
    {
        RecordStore::Transaction outer(store);
        {
            RecordStore::Transaction inner(store);
            QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("inner")));
            QVERIFY(inner.commit());
        }
    }
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));

    // An inner rollback takes the whole transaction with it.
    {
        RecordStore::Transaction outer(store);
        QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("outer")));
        {
            RecordStore::Transaction inner(store);
            QVERIFY(store.writeField(QStringLiteral("NOTE"), QStringLiteral("inner")));
        }
        QVERIFY(!store.writeField(QStringLiteral("NOTE"), QStringLiteral("later")));
        QVERIFY(!outer.commit());
    }
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));
    QCOMPARE(store.readField(QStringLiteral("NOTE")), QString());

    {
        RecordStore::Transaction outer(store);
        {
            RecordStore::Transaction inner(store);
            QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("both")));
            QVERIFY(inner.commit());
        }
        QVERIFY(outer.commit());
    }
    store.closeAll();
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("both"));
}

void TestRecordStore::transactionThatCannotBeginRefusesWrites() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("before")}));
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));

    // Another program holds the write lock until the store gives up waiting.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(file).constData(), &other, SQLITE_OPEN_READWRITE,
                             nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        RecordStore::Transaction tx(store);
        QVERIFY(!tx.isActive());
        // Writes meant for the transaction must not slip through one by one.
        QVERIFY(!store.writeField(QStringLiteral("NAME"), QStringLiteral("alone")));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        QVERIFY(!store.writeField(QStringLiteral("NAME"), QStringLiteral("alone")));
        QVERIFY(!tx.commit());
    }
    sqlite3_close(other);
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("before"));
    QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("after")));
    store.closeAll();
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("after"));
}

void TestRecordStore::longTextIsCutAtCharacterBoundary_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    const QString han = QStringLiteral("会员卡积分余额充值消费记录查询打印");
    QVERIFY(han.size() >= 16 && gbkLength(han) == 2 * han.size());
    QTest::newRow("15 two-byte chars + 1 byte") << han.left(15) + QLatin1Char('x') << han.left(15);
    QTest::newRow("1 byte + 15 two-byte chars")
        << QLatin1Char('x') + han.left(15) << QLatin1Char('x') + han.left(14);
    QTest::newRow("16 two-byte chars") << han.left(16) << han.left(15);
    const QString ascii = QStringLiteral("abcdefghijklmnopqrstuvwxyz01234");
    QTest::newRow("31 ascii") << ascii << ascii.left(30);
    QTest::newRow("fits exactly") << han.left(15) << han.left(15);
}

void TestRecordStore::longTextIsCutAtCharacterBoundary() {
    QFETCH(QString, value);
    QFETCH(QString, expected);

    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("x")}));
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    QVERIFY(store.writeField(QStringLiteral("NOTE"), value)); // a 30-byte field
    QCOMPARE(store.readField(QStringLiteral("NOTE")), expected);
    store.closeAll();
    QVERIFY(store.openTable(file));
    QVERIFY(store.goToRecord(1));
    const QString stored = store.readField(QStringLiteral("NOTE"));
    QCOMPARE(stored, expected);
    QVERIFY(gbkLength(stored) <= 30);
    QVERIFY(canEncodeGbk(stored));
}

void TestRecordStore::findMatchesScanInRecordOrder() {
    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    const QString a = QStringLiteral("张三");
    const QStringList names{a, QStringLiteral("abc"), a, QStringLiteral("ABC"), a,
                            QStringLiteral("abc "), QStringLiteral("張三"), QString()};
    QVERIFY(createWithNames(store, file, names));
    QVERIFY(store.openTable(file));

    const QStringList probes{a, QStringLiteral("abc"), QStringLiteral("ABC"),
                             QStringLiteral("張三"), QString(), QStringLiteral("none")};
    auto checkAll = [&] {
        for (const QString& p : probes) {
            for (int from = 0; from <= store.recordCount() + 1; ++from) {
                const int want = scanFirst(store, QStringLiteral("NAME"), p, from);
                if (store.findFirst(QStringLiteral("NAME"), p, from) != want)
                    return false;
                // goToFirst: the same record, made current with its values, and the next match.
                const int wantNext = want ? scanFirst(store, QStringLiteral("NAME"), p, want + 1) : 0;
                QStringList wantValues;
                if (want && store.goToRecord(want))
                    wantValues = store.readRecord();
                int next = -1;
                if (store.goToFirst(QStringLiteral("NAME"), p, from, &next) != want || next != wantNext ||
                    store.currentRecord() != want || store.readRecord() != wantValues)
                    return false;
            }
            if (store.findAll(QStringLiteral("NAME"), p) != scanAll(store, QStringLiteral("NAME"), p))
                return false;
        }
        return true;
    };
    QVERIFY(checkAll());
    QVERIFY(store.findAll(QStringLiteral("NAME"), a).size() == 3);
    QCOMPARE(store.findFirst(QStringLiteral("NAME"), a), store.findAll(QStringLiteral("NAME"), a).first());
    QCOMPARE(store.findFirst(QStringLiteral("NOSUCH"), a), 0);

    QVERIFY(store.goToRecord(1));
    QVERIFY(store.writeField(QStringLiteral("NAME"), QStringLiteral("abc")));
    QVERIFY(store.goToRecord(4));
    QVERIFY(store.writeField(QStringLiteral("NAME"), a));
    QVERIFY(checkAll());

    QVERIFY(store.goToRecord(3));
    QVERIFY(store.deleteRecord());
    QVERIFY(store.goToRecord(2));
    QVERIFY(store.deleteRecord());
    QVERIFY(store.purgeDeleted());
    QVERIFY(checkAll());
    QCOMPARE(store.findAll(QStringLiteral("NAME"), a).size(), 2);

    QVERIFY(store.addBlankRecord());
    QVERIFY(store.writeField(QStringLiteral("NAME"), a));
    QVERIFY(checkAll());
    QCOMPARE(store.findAll(QStringLiteral("NAME"), a).last(), store.recordCount());
}

void TestRecordStore::writeFailureIsReported_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("read-only file") << QStringLiteral("read-only");
    QTest::newRow("file removed") << QStringLiteral("removed");
}

void TestRecordStore::writeFailureIsReported() {
    QFETCH(QString, cause);

    TempRunDir dir;
    RecordStore store;
    const QString file = dir.file(QStringLiteral("t.tbl"));
    QVERIFY(createWithNames(store, file, {QStringLiteral("kept")}));

    WithoutDacOverride asOrdinaryUser;
    if (cause == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(store.openTable(file));
    } else {
        QVERIFY(store.openTable(file));
        QVERIFY(QFile::remove(file));
    }
    QVERIFY(store.goToRecord(1));
    QVERIFY(!store.writeField(QStringLiteral("NAME"), QStringLiteral("changed")));
    QVERIFY(!store.lastError().isEmpty());
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("kept"));
    QVERIFY(!store.writeFlag(QStringLiteral("VIP"), true));
    QVERIFY(!store.addBlankRecord());
    QCOMPARE(store.recordCount(), 1);
    {
        RecordStore::Transaction tx(store);
        QVERIFY(!(tx.isActive() && store.writeField(QStringLiteral("NAME"), QStringLiteral("tx")) &&
                  tx.commit()));
    }
    QCOMPARE(store.readField(QStringLiteral("NAME")), QStringLiteral("kept"));
}

QTEST_GUILESS_MAIN(TestRecordStore)
#include "TestRecordStore.moc"
