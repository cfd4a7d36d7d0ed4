// Times the record store on a table of the size a large shop reaches: 100,000 records of 12
// fields. Not a test: run by hand, prints the times.
#include "store/RecordStore.h"
#include "text/Gbk.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlcipher/sqlite3.h>

#include <cstdio>

using namespace quorvel;

namespace {

constexpr int kRecords = 100000;
constexpr int kFieldCount = 12;

void report(const char* what, qint64 nanos, int times = 1) {
    std::printf("%-48s %10.3f ms%s\n", what, double(nanos) / 1e6 / times,
                times > 1 ? " (each)" : "");
}

sqlite3* rawOpen(const QString& file, const QByteArray& key) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_key(db, key.constData(), int(key.size()));
    return db;
}

qint64 timeExec(sqlite3* db, const char* sql) {
    QElapsedTimer t;
    t.start();
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::printf("%s: %s\n", sql, err);
        sqlite3_free(err);
    }
    return t.nsecsElapsed();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quorvel-bench-XXXXXX"));
    const QString file = dir.filePath(QStringLiteral("members.tbl"));

    QList<FieldDef> fields;
    for (int i = 0; i < kFieldCount; ++i)
        fields.append({QStringLiteral("F%1").arg(i), TextField, 20});
    RecordStore store;
    QElapsedTimer t;
    if (!store.createTable(file, fields) || !store.openTable(file))
        return 1;
    t.start();
    {
        RecordStore::Transaction tx(store);
        for (int r = 1; r <= kRecords; ++r) {
            store.addBlankRecord();
            for (int i = 0; i < kFieldCount; ++i)
                store.modifyField(i + 1, QStringLiteral("会员%1-%2").arg(r).arg(i));
        }
        if (!tx.commit())
            return 1;
    }
    report("fill 100,000 x 12 (one transaction)", t.nsecsElapsed());
    t.start();
    if (!store.setPassword(kTablePassword))
        return 1;
    report("setPassword", t.nsecsElapsed());
    store.closeAll();
    std::printf("file size %lld bytes\n", QFileInfo(file).size());

    t.start();
    if (!store.openTable(file, kTablePassword))
        return 1;
    report("openTable (100,000 records)", t.nsecsElapsed());

    t.start();
    qint64 chars = 0;
    for (int r = 1; r <= kRecords; ++r) {
        store.goToRecord(r);
        for (int i = 0; i < 10; ++i)
            chars += store.readField(fields[i].name).size();
    }
    report("goToRecord + 10 readField, all records", t.nsecsElapsed());
    report("goToRecord + 10 readField, per record", t.nsecsElapsed(), kRecords);

    constexpr int writes = 30;
    store.goToRecord(kRecords / 2);
    t.start();
    for (int i = 0; i < writes; ++i)
        store.writeField(QStringLiteral("F3"), QStringLiteral("改%1").arg(i));
    report("committed writeField", t.nsecsElapsed(), writes);

    t.start();
    int found = 0;
    for (int i = 0; i < 1000; ++i)
        found += store.findFirst(QStringLiteral("F5"), QStringLiteral("会员%1-5").arg(i * 97 + 1)) > 0;
    report("findFirst", t.nsecsElapsed(), 1000);
    store.closeAll();

    // What a full check would add to each open, and how the other journal mode writes.
    const QByteArray key = toGbk(kTablePassword);
    sqlite3* db = rawOpen(file, key);
    timeExec(db, "SELECT count(*) FROM sqlite_master");
    report("PRAGMA quick_check", timeExec(db, "PRAGMA quick_check"));
    report("SELECT count(*) FROM records", timeExec(db, "SELECT count(*) FROM records"));
    for (const char* mode : {"DELETE", "WAL"}) {
        timeExec(db, (QByteArray("PRAGMA journal_mode = ") + mode).constData());
        timeExec(db, "PRAGMA synchronous = FULL");
        qint64 total = 0;
        for (int i = 0; i < writes; ++i)
            total += timeExec(db, QByteArray("UPDATE records SET f4 = x'413" +
                                             QByteArray::number(i % 10) +
                                             "' WHERE rn = 777").constData());
        std::printf("journal_mode %-6s", mode);
        report(" committed single UPDATE", total, writes);
    }
    timeExec(db, "PRAGMA journal_mode = DELETE");
    sqlite3_close(db);
    std::printf("(read %lld characters, found %d)\n", chars, found);
    return 0;
}
