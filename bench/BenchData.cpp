#include "bench/BenchData.h"

#include "app/OperatorTable.h"
#include "members/MemberTable.h"
#include "store/RecordStore.h"
#include "text/Gbk.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quorvel::bench {

namespace {

constexpr int kChunk = 20000; // records per transaction while filling
const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙",
                                 "马", "朱", "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋",
                                 "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾", "肖", "田", "董", "袁"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳",
                              "杰", "娟", "涛", "明", "超", "秀", "霞", "平", "刚", "桂", "英", "华",
                              "玉", "萍", "红", "鹏", "辉", "建", "文", "斌", "宇", "浩", "凯", "婷"};
constexpr int kTail = 10; // the last records, where the timed steps look

quint32 mix(quint32 x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

QString pick(const char* const* list, int size, quint32 h) {
    return QString::fromUtf8(list[h % quint32(size)]);
}

int lastOfType(int n, int remainder) {
    for (int i = n - 1; i > n - kTail; --i)
        if (i % 3 == remainder)
            return i;
    return 0;
}

} // namespace

std::vector<QString> memberValues(int i, int n) {
    const quint32 h = mix(quint32(i));
    const bool tail = i > n - kTail;
    const int type = i % 3; // 1 次卡, 2 储蓄卡, 0 无限卡
    QString name = pick(kSurnames, std::size(kSurnames), h) + pick(kGiven, std::size(kGiven), h >> 8);
    if (h & 0x10000)
        name += pick(kGiven, std::size(kGiven), h >> 20);
    if (tail)
        name = QStringLiteral("末位会员%1").arg(i);
    // i * 48271 mod 10^9 is one-to-one: every member has a phone number of its own.
    const qint64 phone = (qint64(i) * 48271) % 1000000000;
    const QString big = QStringLiteral("100000000");
    std::vector<QString> v(12);
    v[ColId - 1] = QStringLiteral("0");
    v[ColCard - 1] = QString::number(20000000 + i);
    v[ColName - 1] = name;
    v[ColGender - 1] = (h & 0x200) ? QStringLiteral("男") : QStringLiteral("女");
    v[ColPhone - 1] = QStringLiteral("13%1").arg(phone, 9, 10, QLatin1Char('0'));
    v[ColType - 1] = type == 1 ? members::kCountCard : type == 2 ? members::kStoredValueCard : members::kUnlimitedCard;
    if (type == 1)
        v[ColVisits - 1] = tail ? big : QString::number(1 + h % 60);
    else
        v[ColBalance - 1] = tail ? big : QString::number((h >> 4) % 3000);
    v[ColOperator - 1] = operators::kSeedName;
    v[ColPoints - 1] = QString::number((h >> 12) % 5000);
    v[ColSignUp - 1] = QStringLiteral("%1年%2月%3日").arg(2015 + (h >> 3) % 10).arg(1 + (h >> 7) % 12).arg(1 + (h >> 11) % 28);
    v[ColSwipes - 1] = QString::number((h >> 14) % 300);
    return v;
}

Targets targetsFor(int n) {
    Targets t;
    t.countRecord = lastOfType(n, 1);
    t.moneyRecord = lastOfType(n, 2);
    t.topUpRecord = lastOfType(n, 0);
    t.queryRecord = n - 1;
    t.countCard = memberValues(t.countRecord, n)[ColCard - 1];
    t.moneyCard = memberValues(t.moneyRecord, n)[ColCard - 1];
    t.topUpCard = memberValues(t.topUpRecord, n)[ColCard - 1];
    const std::vector<QString> q = memberValues(t.queryRecord, n);
    t.queryName = q[ColName - 1];
    t.queryPhone = q[ColPhone - 1];
    t.absentCard = QStringLiteral("99999999");
    t.absentName = QStringLiteral("查无此人");
    t.absentPhone = QStringLiteral("19999999999");
    return t;
}

QString cachedMemberTable(const QString& cacheRoot, int n) {
    const QString dir = QStringLiteral("%1/members-%2-v1").arg(cacheRoot).arg(n);
    const QString file = dir + QStringLiteral("/thy.dat");
    if (QFile::exists(dir + QStringLiteral("/ready")) && QFile::exists(file))
        return file;

    const QString building = QStringLiteral("%1.building-%2").arg(dir).arg(QCoreApplication::applicationPid());
    QDir(building).removeRecursively();
    if (!QDir().mkpath(building)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(building));
        return {};
    }
    std::fprintf(stderr, "creating a member table of %d members in %s (once; reused later)\n", n, qPrintable(dir));
    QElapsedTimer timer;
    timer.start();
    const QString path = building + QStringLiteral("/thy.dat");
    RecordStore store;
    // Created as the program creates it: an empty table, protected, then filled.
    if (!store.createTable(path, members::memberFields()) || !store.openTable(path) ||
        !store.setPassword(kTablePassword)) {
        std::fprintf(stderr, "cannot create %s: %s\n", qPrintable(path), qPrintable(store.lastError()));
        return {};
    }
    for (int from = 1; from <= n; from += kChunk) {
        RecordStore::Transaction tx(store);
        const int to = std::min(n, from + kChunk - 1);
        for (int i = from; i <= to; ++i) {
            if (!store.addBlankRecord())
                break;
            const std::vector<QString> v = memberValues(i, n);
            for (int f = 0; f < 12; ++f)
                if (!v[f].isEmpty())
                    store.modifyField(f + 1, v[f]);
        }
        if (!tx.commit()) {
            std::fprintf(stderr, "filling %s failed: %s\n", qPrintable(path), qPrintable(store.lastError()));
            return {};
        }
        if (n >= 100000 && to % 100000 == 0)
            std::fprintf(stderr, "  %d members, %.0f s\n", to, timer.elapsed() / 1000.0);
    }
    store.closeAll();
    QFile ready(building + QStringLiteral("/ready"));
    if (!ready.open(QIODevice::WriteOnly) || !QDir().rename(building, dir)) {
        // Another run may have finished the same table first: theirs will do.
        QDir(building).removeRecursively();
        if (QFile::exists(dir + QStringLiteral("/ready")))
            return file;
        std::fprintf(stderr, "cannot finish %s\n", qPrintable(dir));
        return {};
    }
    std::fprintf(stderr, "  done in %.0f s, %.0f MB\n", timer.elapsed() / 1000.0,
                 QFileInfo(file).size() / 1048576.0);
    return file;
}

bool makeOperatorTable(const QString& path) {
    RecordStore store;
    if (!store.createTable(path, operators::fieldList()) || !store.openTable(path) ||
        !store.setPassword(kTablePassword))
        return false;
    RecordStore::Transaction tx(store);
    return store.addBlankRecord() && store.writeField(operators::kFieldName, operators::kSeedName) &&
           store.writeField(operators::kFieldPassword, operators::kSeedPassword) &&
           store.writeFlag(operators::kFieldRight, true) && tx.commit();
}

// --- DirectTable ------------------------------------------------------------------------------

DirectTable::~DirectTable() {
    close();
}

bool DirectTable::open(const QString& path) {
    close();
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        close();
        return false;
    }
    const QByteArray key = toGbk(kTablePassword);
    sqlite3_key(m_db, key.constData(), int(key.size()));
    // The store's cipher settings and durability, so both do the same work per page.
    static const char* const pragmas[] = {
        "PRAGMA cipher = 'aes-256-cbc'",      "PRAGMA kdf_iter = 64000",  "PRAGMA cipher_page_size = 1024",
        "PRAGMA cipher_use_hmac = ON",        "PRAGMA busy_timeout = 5000", "PRAGMA synchronous = FULL",
        "PRAGMA journal_mode = DELETE",       "SELECT count(*) FROM sqlite_master",
    };
    for (const char* sql : pragmas) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK) {
            close();
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE) {
            close();
            return false;
        }
    }
    return true;
}

void DirectTable::close() {
    for (auto& [sql, s] : m_statements)
        sqlite3_finalize(s);
    m_statements.clear();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

QString DirectTable::error() const {
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("not open");
}

sqlite3_stmt* DirectTable::prepared(const QByteArray& sql) {
    for (auto& [text, s] : m_statements)
        if (text == sql)
            return s;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK)
        return nullptr;
    m_statements.emplace_back(sql, s);
    return s;
}

namespace {
const QByteArray kAllColumns = "f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12";

void readColumns(sqlite3_stmt* s, int first, std::vector<QByteArray>* values) {
    values->resize(12);
    for (int c = 0; c < 12; ++c) {
        const void* p = sqlite3_column_blob(s, first + c);
        (*values)[c] = QByteArray(static_cast<const char*>(p), p ? sqlite3_column_bytes(s, first + c) : 0);
    }
}

bool run(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    return rc == SQLITE_DONE;
}
} // namespace

int DirectTable::findFirst(int column, const QByteArray& value, std::vector<QByteArray>* values) {
    sqlite3_stmt* s = prepared("SELECT rn, " + kAllColumns + " FROM records WHERE f" + QByteArray::number(column) +
                               " = ? ORDER BY rn LIMIT 1");
    if (!s)
        return -1;
    sqlite3_bind_blob(s, 1, value.constData(), int(value.size()), SQLITE_STATIC);
    int rn = 0;
    if (sqlite3_step(s) == SQLITE_ROW) {
        rn = sqlite3_column_int(s, 0);
        readColumns(s, 1, values);
    }
    sqlite3_reset(s);
    return rn;
}

bool DirectTable::readRecord(int rn, std::vector<QByteArray>* values) {
    sqlite3_stmt* s = prepared("SELECT " + kAllColumns + " FROM records WHERE rn = ?");
    if (!s)
        return false;
    sqlite3_bind_int(s, 1, rn);
    const bool ok = sqlite3_step(s) == SQLITE_ROW;
    if (ok)
        readColumns(s, 0, values);
    sqlite3_reset(s);
    return ok;
}

bool DirectTable::update2(int rn, int a, const QByteArray& va, int b, const QByteArray& vb) {
    sqlite3_stmt* begin = prepared("BEGIN IMMEDIATE");
    sqlite3_stmt* commit = prepared("COMMIT");
    sqlite3_stmt* update = prepared("UPDATE records SET f" + QByteArray::number(a) + " = ?, f" +
                                    QByteArray::number(b) + " = ? WHERE rn = ?");
    if (!begin || !commit || !update || !run(begin))
        return false;
    sqlite3_bind_blob(update, 1, va.constData(), int(va.size()), SQLITE_STATIC);
    sqlite3_bind_blob(update, 2, vb.constData(), int(vb.size()), SQLITE_STATIC);
    sqlite3_bind_int(update, 3, rn);
    if (!run(update)) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return run(commit);
}

int DirectTable::scanAll(qint64* bytes) {
    sqlite3_stmt* s = prepared("SELECT f2, f3, f4, f5, f6, f7, f8, f9, f10, f11 FROM records ORDER BY rn");
    if (!s)
        return -1;
    int rows = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < 10; ++c) {
            sqlite3_column_blob(s, c);
            *bytes += sqlite3_column_bytes(s, c);
        }
        ++rows;
    }
    sqlite3_reset(s);
    return rows;
}

} // namespace quorvel::bench
