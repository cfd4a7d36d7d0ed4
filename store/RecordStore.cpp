#include "store/RecordStore.h"

#include "text/Gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace quorvel {

namespace {

// Written into every table file; a file without it is not one of ours.
constexpr const char* kMagic = "quorvel-record-table";
constexpr const char* kFormatVersion = "1";
constexpr const char kPlainHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                         'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
constexpr int kMaxTextLength = 65535;
constexpr int kBusyTimeoutMs = 5000;

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, DbCloser>;

// Owns a prepared statement; reset() after each use keeps it reusable and releases locks.
class Stmt {
public:
    Stmt() = default;
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    Stmt(Stmt&& other) noexcept : m_stmt(other.m_stmt) { other.m_stmt = nullptr; }
    Stmt& operator=(Stmt&& other) noexcept {
        std::swap(m_stmt, other.m_stmt);
        return *this;
    }

    bool prepare(sqlite3* db, const QByteArray& sql) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        return sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) ==
               SQLITE_OK;
    }
    bool isValid() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }

    void bindInt(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    // An empty QByteArray has no data pointer, which sqlite would bind as NULL.
    void bindBlob(int i, const QByteArray& v) {
        if (v.isEmpty())
            sqlite3_bind_zeroblob(m_stmt, i, 0);
        else
            sqlite3_bind_blob(m_stmt, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(m_stmt); }
    qint64 columnInt(int i) const { return sqlite3_column_int64(m_stmt, i); }
    QByteArray columnBlob(int i) const {
        const void* p = sqlite3_column_blob(m_stmt, i);
        const int n = sqlite3_column_bytes(m_stmt, i);
        return p ? QByteArray(static_cast<const char*>(p), n) : QByteArray();
    }
    void reset() {
        if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Resets a cached statement when the scope using it ends, whatever the path out.
struct StmtUse {
    explicit StmtUse(Stmt& s) : stmt(s) {}
    ~StmtUse() { stmt.reset(); }
    Stmt& stmt;
};

QString engineError(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database connection");
}

bool exec(sqlite3* db, const char* sql, QString* error) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        if (error)
            *error = msg ? QString::fromUtf8(msg) : engineError(db);
        sqlite3_free(msg);
        return false;
    }
    return true;
}

QString cleanAbsolute(const QString& file) {
    return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
}

QByteArray passwordBytes(const std::optional<QString>& password) {
    return password ? toGbk(*password) : QByteArray();
}

// Pins the cipher parameters of one schema ("main" or an attached one) right after its key, so
// that files keep opening when a later engine version changes its defaults. The last two are
// unknown to the current engine (ignored there) and keep later ones on the same algorithms.
void pinCipherSettings(sqlite3* db, const char* schema) {
    static const char* const settings[] = {
        "cipher = 'aes-256-cbc'",          "kdf_iter = 64000",
        "cipher_page_size = 1024",         "cipher_use_hmac = ON",
        "cipher_hmac_algorithm = HMAC_SHA1", "cipher_kdf_algorithm = PBKDF2_HMAC_SHA1",
    };
    for (const char* s : settings) {
        const QByteArray sql = QByteArray("PRAGMA ") + schema + '.' + s;
        exec(db, sql.constData(), nullptr);
    }
}

// An attached file's key is derived at ATTACH with the engine's defaults, and changing the
// derivation of an attached file afterwards fails: the defaults are set to the pinned values
// first (the values every table file is keyed with, whichever connection made it).
void pinDefaultCipherSettings(sqlite3* db) {
    static const char* const settings[] = {
        "cipher_default_kdf_iter = 64000", "cipher_default_page_size = 1024",
        "cipher_default_use_hmac = ON", "cipher_default_hmac_algorithm = HMAC_SHA1",
        "cipher_default_kdf_algorithm = PBKDF2_HMAC_SHA1",
    };
    for (const char* s : settings)
        exec(db, (QByteArray("PRAGMA ") + s).constData(), nullptr);
}

bool fsyncPath(const QString& path, bool directory) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QByteArray fieldColumn(int index) { return "f" + QByteArray::number(index + 1); }

bool validFields(const QList<FieldDef>& fields, QString* error) {
    if (fields.isEmpty()) {
        *error = QStringLiteral("a table needs at least one field");
        return false;
    }
    for (int i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        if (f.name.trimmed().isEmpty() || !canEncodeGbk(f.name)) {
            *error = QStringLiteral("invalid field name at position %1").arg(i + 1);
            return false;
        }
        if (f.type != TextField && f.type != LogicalField) {
            *error = QStringLiteral("field %1 has an unknown type").arg(f.name);
            return false;
        }
        if (f.type == TextField && (f.maxLength < 1 || f.maxLength > kMaxTextLength)) {
            *error = QStringLiteral("field %1 has an invalid length").arg(f.name);
            return false;
        }
        for (int j = 0; j < i; ++j) {
            if (fields[j].name.compare(f.name, Qt::CaseInsensitive) == 0) {
                *error = QStringLiteral("field %1 appears twice").arg(f.name);
                return false;
            }
        }
    }
    return true;
}

// What a table file says about itself; read by validation and by a real open alike.
struct TableInfo {
    QList<FieldDef> fields;
    int count = 0;
};

bool queryText(sqlite3* db, const QByteArray& sql, QByteArray* out, QString* error) {
    Stmt s;
    if (!s.prepare(db, sql)) {
        *error = engineError(db);
        return false;
    }
    const int rc = s.step();
    if (rc == SQLITE_ROW) {
        *out = s.columnBlob(0);
        return true;
    }
    *error = rc == SQLITE_DONE ? QStringLiteral("missing value") : engineError(db);
    return false;
}

bool queryInt(sqlite3* db, const QByteArray& sql, qint64* out, QString* error) {
    Stmt s;
    if (!s.prepare(db, sql)) {
        *error = engineError(db);
        return false;
    }
    const int rc = s.step();
    if (rc == SQLITE_ROW) {
        *out = s.columnInt(0);
        return true;
    }
    *error = rc == SQLITE_DONE ? QStringLiteral("missing value") : engineError(db);
    return false;
}

// schema names the database of the connection to read: "main" or an attached one.
bool readTableInfo(sqlite3* db, TableInfo* info, QString* error, const QByteArray& schema = "main") {
    // The first read also proves the key: a wrong one fails here.
    QByteArray magic, version;
    if (!queryText(db, "SELECT value FROM " + schema + ".quorvel_meta WHERE key = 'magic'", &magic, error))
        return false;
    if (magic != kMagic) {
        *error = QStringLiteral("not a record table");
        return false;
    }
    if (!queryText(db, "SELECT value FROM " + schema + ".quorvel_meta WHERE key = 'version'", &version,
                   error))
        return false;
    if (version != kFormatVersion) {
        *error = QStringLiteral("unsupported table version %1").arg(QString::fromLatin1(version));
        return false;
    }

    Stmt s;
    if (!s.prepare(db, "SELECT position, name, type, max_length FROM " + schema +
                           ".quorvel_fields ORDER BY position")) {
        *error = engineError(db);
        return false;
    }
    QList<FieldDef> fields;
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        if (s.columnInt(0) != fields.size() + 1) {
            *error = QStringLiteral("field list is damaged");
            return false;
        }
        FieldDef f;
        f.name = fromGbk(s.columnBlob(1));
        f.type = int(s.columnInt(2));
        f.maxLength = int(s.columnInt(3));
        fields.append(f);
    }
    if (rc != SQLITE_DONE) {
        *error = engineError(db);
        return false;
    }
    if (!validFields(fields, error))
        return false;

    // The data table must have exactly the columns the field list implies.
    Stmt cols;
    if (!cols.prepare(db, "PRAGMA " + schema + ".table_info(records)")) {
        *error = engineError(db);
        return false;
    }
    QList<QByteArray> names;
    while ((rc = cols.step()) == SQLITE_ROW)
        names.append(cols.columnBlob(1));
    if (rc != SQLITE_DONE) {
        *error = engineError(db);
        return false;
    }
    QList<QByteArray> expected{"rn", "deleted"};
    for (int i = 0; i < fields.size(); ++i)
        expected.append(fieldColumn(i));
    if (names != expected) {
        *error = QStringLiteral("data table does not match the field list");
        return false;
    }

    // Record numbers are kept contiguous, so the largest one is the count.
    qint64 maxRn = 0;
    if (!queryInt(db, "SELECT coalesce(max(rn), 0) FROM " + schema + ".records", &maxRn, error))
        return false;
    info->fields = fields;
    info->count = int(maxRn);
    return true;
}

// A file cut short still has its full size in page 1; compare it with what is on disk. Then
// every page is read once (about 0.1 s for 100,000 records of 12 fields): a damaged page is
// found now rather than in the middle of someone's work.
bool checkFile(sqlite3* db, qint64 fileSize, QString* error, const QByteArray& schema = "main") {
    qint64 pageSize = 0, pageCount = 0;
    if (!queryInt(db, "PRAGMA " + schema + ".page_size", &pageSize, error) ||
        !queryInt(db, "PRAGMA " + schema + ".page_count", &pageCount, error))
        return false;
    if (pageSize <= 0 || pageSize * pageCount != fileSize) {
        *error = QStringLiteral("file is truncated or damaged");
        return false;
    }
    QByteArray check;
    if (!queryText(db, "PRAGMA " + schema + ".quick_check", &check, error))
        return false;
    if (check != "ok") {
        *error = QStringLiteral("file is damaged: %1").arg(QString::fromUtf8(check));
        return false;
    }
    return true;
}

// Opens a connection and applies the key and pinned cipher settings; reads nothing yet.
DbPtr openConnection(const QByteArray& name, int flags, const QByteArray& key, QString* error) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &raw, flags, nullptr);
    DbPtr db(raw);
    if (rc != SQLITE_OK) {
        *error = engineError(raw);
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    if (!key.isEmpty()) {
        if (sqlite3_key(raw, key.constData(), int(key.size())) != SQLITE_OK) {
            *error = engineError(raw);
            return nullptr;
        }
        pinCipherSettings(raw, "main");
    }
    return db;
}

// Writes the schema of a table of fields into the empty file name, keyed with key (none when
// empty). Indexes: one per list of field positions (0-based), or, without a list, one on each
// text field.
bool buildTable(const QByteArray& name, const QByteArray& key, const QList<FieldDef>& fields,
                const QList<QList<int>>* indexes, QString* errorOut) {
    QString error;
    bool ok = false;
    {
        DbPtr db = openConnection(name, SQLITE_OPEN_READWRITE, key, &error);
        if (db) {
            QByteArray ddl = "PRAGMA synchronous = FULL;"
                             "PRAGMA journal_mode = DELETE;"
                             "BEGIN IMMEDIATE;"
                             "CREATE TABLE quorvel_meta(key TEXT PRIMARY KEY, value BLOB NOT NULL);"
                             "CREATE TABLE quorvel_fields(position INTEGER PRIMARY KEY, "
                             "name BLOB NOT NULL, type INTEGER NOT NULL, "
                             "max_length INTEGER NOT NULL);"
                             "CREATE TABLE records(rn INTEGER PRIMARY KEY, "
                             "deleted INTEGER NOT NULL DEFAULT 0";
            for (int i = 0; i < fields.size(); ++i)
                ddl += ", " + fieldColumn(i) + " BLOB NOT NULL DEFAULT x''";
            ddl += ");";
            if (!indexes) {
                for (int i = 0; i < fields.size(); ++i)
                    if (fields[i].type == TextField)
                        ddl += "CREATE INDEX records_" + fieldColumn(i) + " ON records(" +
                               fieldColumn(i) + ");";
            } else {
                for (const QList<int>& columns : *indexes) {
                    QByteArray indexName = "records", list;
                    for (int c : columns) {
                        indexName += '_' + fieldColumn(c);
                        list += (list.isEmpty() ? "" : ", ") + fieldColumn(c);
                    }
                    ddl += "CREATE INDEX " + indexName + " ON records(" + list + ");";
                }
            }
            ok = exec(db.get(), ddl.constData(), &error);
            if (ok) {
                Stmt meta, field;
                ok = meta.prepare(db.get(), "INSERT INTO quorvel_meta VALUES('magic', ?), "
                                            "('version', ?)") &&
                     field.prepare(db.get(), "INSERT INTO quorvel_fields VALUES(?, ?, ?, ?)");
                if (ok) {
                    meta.bindBlob(1, kMagic);
                    meta.bindBlob(2, kFormatVersion);
                    ok = meta.step() == SQLITE_DONE;
                }
                for (int i = 0; ok && i < fields.size(); ++i) {
                    field.bindInt(1, i + 1);
                    field.bindBlob(2, toGbk(fields[i].name));
                    field.bindInt(3, fields[i].type);
                    field.bindInt(4, fields[i].type == TextField ? fields[i].maxLength : 1);
                    ok = field.step() == SQLITE_DONE;
                    field.reset();
                }
                if (!ok)
                    error = engineError(db.get());
            }
            if (ok)
                ok = exec(db.get(), "COMMIT", &error);
        }
    }
    *errorOut = error;
    return ok;
}

// A read-only look at the file as it is on disk: no locks, no journal recovery, no writes.
DbPtr openImmutable(const QString& path, const QByteArray& key, QString* error) {
    const QByteArray uri = "file:" + QUrl::toPercentEncoding(QString::fromLocal8Bit(
                                                                 QFile::encodeName(path)),
                                                             "/") +
                           "?immutable=1";
    return openConnection(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, key, error);
}

// What tells one version of a file from another without reading it.
struct FileState {
    qint64 size = 0;
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileState&) const = default;
};

std::optional<FileState> fileState(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileState{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     quint64(st.st_ino), quint64(st.st_dev)};
}

// A file that passed the full check with this key, as it was then or as our own writes left it.
struct VerifiedFile {
    QString path;
    QByteArray key;
    FileState state;
    qint64 notedNs = 0; // when the state was taken
};

qint64 wallClockNs() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// File times come from a coarse clock: a write in the same few milliseconds as the note could
// leave the time as it was. A state noted that soon after the file's last change proves nothing.
constexpr qint64 kFileTimeSlackNs = 50 * 1000000;

// Names, types and (for text) lengths, in order.
bool sameFieldList(const QList<FieldDef>& a, const QList<FieldDef>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type ||
            (a[i].type == TextField && a[i].maxLength != b[i].maxLength))
            return false;
    }
    return true;
}

// Rolls the journal back into a copy of the file in a scratch folder and checks the result as
// a real open would: the file itself is not touched. Refused when the check cannot be made.
bool recoveryIsSound(const QString& path, const QByteArray& key, TableInfo* info, QString* error) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *error = QStringLiteral("cannot check the journal of %1: no scratch folder").arg(path);
        return false;
    }
    const QString copy = scratch.filePath(QStringLiteral("t"));
    const QString journalCopy = copy + QStringLiteral("-journal");
    const QFileDevice::Permissions rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFile::copy(path, copy) || !QFile::copy(path + QStringLiteral("-journal"), journalCopy) ||
        !QFile::setPermissions(copy, rw) || !QFile::setPermissions(journalCopy, rw)) {
        *error = QStringLiteral("cannot check the journal of %1: copy failed").arg(path);
        return false;
    }
    DbPtr db = openConnection(QFile::encodeName(copy), SQLITE_OPEN_READWRITE, key, error);
    // The first read rolls the journal back; the size is the one the roll-back left.
    return db && readTableInfo(db.get(), info, error) &&
           checkFile(db.get(), QFileInfo(copy).size(), error);
}

struct Table {
    QString path; // clean absolute path
    QByteArray key; // empty for an unprotected file
    DbPtr db; // declared before the statements so that they are finalized first
    QList<FieldDef> fields;
    int count = 0;
    int current = 0;
    std::vector<QByteArray> values; // the current record's fields, loaded by goToRecord
    std::vector<std::optional<QString>> decoded; // values as text, decoded on first read
    bool deleted = false;

    Stmt selectRow;
    Stmt selectRange;
    Stmt insertBlank;
    Stmt markDeleted;
    std::vector<Stmt> update;
    std::vector<Stmt> findFrom;
    std::vector<Stmt> findAll;
    std::vector<Stmt> findAndRead;

    // The companion table attached to this connection as "companion", when there is one; keyed
    // like the table itself.
    QString companionPath;
    QList<FieldDef> companionFields;
    Stmt companionInsert;

    void clearValues() {
        values.assign(fields.size(), QByteArray());
        decoded.assign(fields.size(), std::nullopt);
        deleted = false;
    }
    const QString& text(int i) {
        if (!decoded[i])
            decoded[i] = fromGbk(values[i]);
        return *decoded[i];
    }

    int fieldIndex(const QString& name) const {
        // Callers nearly always spell the name as it was created: try that first, it is cheap.
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name == name)
                return i;
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

} // namespace

struct RecordStore::Impl {
    std::vector<std::unique_ptr<Table>> tables;
    Table* current = nullptr;
    QString lastError;
    WriteHook hook = nullptr;

    // The open Transaction, if any: its table, how many Transaction objects share it, and
    // whether it has already been rolled back (a failed write or an inner rollback).
    Table* txTable = nullptr;
    int txDepth = 0;
    bool txFailed = false;

    std::vector<VerifiedFile> verified;
    bool isVerified(const QString& path, const QByteArray& key) const {
        const std::optional<FileState> now = fileState(path);
        for (const VerifiedFile& v : verified)
            if (v.path == path)
                return now && v.key == key && v.state == *now && v.state.mtimeNs + kFileTimeSlackNs < v.notedNs;
        return false;
    }
    void noteVerified(const QString& path, const QByteArray& key, const FileState& state, qint64 notedNs) {
        forgetVerified(path);
        verified.push_back(VerifiedFile{path, key, state, notedNs});
    }
    void forgetVerified(const QString& path) {
        std::erase_if(verified, [&](const VerifiedFile& v) { return v.path == path; });
    }
    // Our own writes keep a verified file verified: note how the table leaves it.
    void noteClosing(const Table* t) {
        noteClosing(t->path, t->key);
        if (!t->companionPath.isEmpty())
            noteClosing(t->companionPath, t->key);
    }
    void noteClosing(const QString& path, const QByteArray& key) {
        for (VerifiedFile& v : verified) {
            if (v.path == path && v.key == key) {
                const qint64 noted = wallClockNs();
                if (const std::optional<FileState> now = fileState(path)) {
                    v.state = *now;
                    v.notedNs = noted;
                }
            }
        }
    }

    bool fail(const QString& message) {
        lastError = message;
        return false;
    }
    bool failEngine(Table* t) { return fail(engineError(t ? t->db.get() : nullptr)); }

    bool inTransaction(const Table* t) const { return txDepth > 0 && txTable == t; }

    // On this system a removed file stays writable through the open connection, and every
    // write would silently vanish with it: refuse writes once the path no longer leads there.
    bool fileStillThere(Table* t, const char* schema = "main") {
        int moved = 0;
        if (sqlite3_file_control(t->db.get(), schema, SQLITE_FCNTL_HAS_MOVED, &moved) ==
                SQLITE_OK &&
            moved)
            return fail(QStringLiteral("the table file was removed or replaced"));
        return true;
    }

    bool prepareStatements(Table* t);
    bool createCompanionFile(const QString& path, const QByteArray& key, const QList<FieldDef>& fields,
                             const QList<QList<int>>& indexes);
    bool prepareCompanionQuery(Table* t, const QList<RecordStore::Condition>& where, const QByteArray& head,
                               const QByteArray& tail, Stmt* s);
    bool loadCurrent(Table* t);
    bool reloadAfterRollback(Table* t);
    void rollbackTransaction();
    bool writeBytes(int index, const QString& value);
    std::unique_ptr<Table> openFile(const QString& path, const QByteArray& key);
    Table* findOpen(const QString& path) const;
    void closeTable(Table* t);
    bool sameRecords(sqlite3* a, sqlite3* b, int fieldCount);
};

bool RecordStore::Impl::prepareStatements(Table* t) {
    sqlite3* db = t->db.get();
    QByteArray cols;
    for (int i = 0; i < t->fields.size(); ++i)
        cols += ", " + fieldColumn(i);
    bool ok = t->selectRow.prepare(db, "SELECT deleted" + cols + " FROM records WHERE rn = ?") &&
              t->selectRange.prepare(db, "SELECT rn" + cols +
                                             " FROM records WHERE rn BETWEEN ? AND ? ORDER BY rn") &&
              t->insertBlank.prepare(db, "INSERT INTO records(rn) VALUES(?)") &&
              t->markDeleted.prepare(db, "UPDATE records SET deleted = 1 WHERE rn = ?");
    t->update.resize(t->fields.size());
    t->findFrom.resize(t->fields.size());
    t->findAll.resize(t->fields.size());
    t->findAndRead.resize(t->fields.size());
    for (int i = 0; ok && i < t->fields.size(); ++i) {
        const QByteArray c = fieldColumn(i);
        ok = t->findAndRead[i].prepare(db, "SELECT rn, deleted" + cols + " FROM records WHERE " + c +
                                               " = ? AND rn >= ? ORDER BY rn LIMIT 2");
        if (!ok)
            break;
        ok = t->update[i].prepare(db, "UPDATE records SET " + c + " = ? WHERE rn = ?") &&
             t->findFrom[i].prepare(db, "SELECT rn FROM records WHERE " + c +
                                            " = ? AND rn >= ? ORDER BY rn LIMIT 1") &&
             t->findAll[i].prepare(db, "SELECT rn FROM records WHERE " + c + " = ? ORDER BY rn");
    }
    return ok ? true : failEngine(t);
}

bool RecordStore::Impl::loadCurrent(Table* t) {
    t->clearValues();
    if (t->current == 0)
        return true;
    StmtUse use(t->selectRow);
    t->selectRow.bindInt(1, t->current);
    const int rc = t->selectRow.step();
    if (rc != SQLITE_ROW) {
        t->current = 0;
        return rc == SQLITE_DONE ? fail(QStringLiteral("record is missing")) : failEngine(t);
    }
    t->deleted = t->selectRow.columnInt(0) != 0;
    for (int i = 0; i < t->fields.size(); ++i)
        t->values[i] = t->selectRow.columnBlob(i + 1);
    return true;
}

// After a rollback the count and the current record's values may be stale.
bool RecordStore::Impl::reloadAfterRollback(Table* t) {
    qint64 maxRn = 0;
    QString error;
    if (!queryInt(t->db.get(), "SELECT coalesce(max(rn), 0) FROM records", &maxRn, &error))
        return fail(error);
    t->count = int(maxRn);
    if (t->current > t->count)
        t->current = 0;
    return loadCurrent(t);
}

void RecordStore::Impl::rollbackTransaction() {
    Table* t = txTable;
    if (t && !txFailed) {
        // The engine may already have rolled back on its own (disk full, I/O error).
        if (!sqlite3_get_autocommit(t->db.get()))
            exec(t->db.get(), "ROLLBACK", nullptr);
        reloadAfterRollback(t);
    }
    txFailed = true;
}

bool RecordStore::Impl::writeBytes(int index, const QString& value) {
    Table* t = current;
    if (!t)
        return fail(QStringLiteral("no current table"));
    if (t->current == 0)
        return fail(QStringLiteral("no current record"));
    if (index < 0 || index >= t->fields.size())
        return fail(QStringLiteral("no such field"));
    const bool inTx = inTransaction(t);
    if (inTx && txFailed)
        return fail(QStringLiteral("the transaction was rolled back"));
    if (!fileStillThere(t))
        return false;
    const FieldDef& f = t->fields[index];
    if (inTx && hook && !hook(f.name)) {
        fail(QStringLiteral("write to %1 failed").arg(f.name));
        rollbackTransaction();
        return false;
    }
    const QByteArray bytes = f.type == LogicalField
                                 ? (value == QLatin1String("1") ? QByteArray("1") : QByteArray())
                                 : truncateGbkBytes(toGbk(value), f.maxLength);
    Stmt& s = t->update[index];
    StmtUse use(s);
    s.bindBlob(1, bytes);
    s.bindInt(2, t->current);
    if (s.step() != SQLITE_DONE) {
        failEngine(t);
        if (inTx) {
            const QString error = lastError;
            rollbackTransaction();
            lastError = error;
        }
        return false;
    }
    t->values[index] = bytes;
    t->decoded[index].reset();
    return true;
}

std::unique_ptr<Table> RecordStore::Impl::openFile(const QString& path, const QByteArray& key) {
    QString error;
    const QByteArray name = QFile::encodeName(path);
    // Read-write only when the file allows it; never create.
    DbPtr db = openConnection(name, SQLITE_OPEN_READWRITE, key, &error);
    if (!db) {
        fail(error);
        return nullptr;
    }
    if (!exec(db.get(), "PRAGMA synchronous = FULL", &error) ||
        !exec(db.get(), "PRAGMA journal_mode = DELETE", &error)) {
        fail(error);
        return nullptr;
    }
    auto t = std::make_unique<Table>();
    TableInfo info;
    if (!readTableInfo(db.get(), &info, &error)) {
        fail(error);
        return nullptr;
    }
    t->path = path;
    t->key = key;
    t->db = std::move(db);
    t->fields = info.fields;
    t->count = info.count;
    t->clearValues();
    if (!prepareStatements(t.get()))
        return nullptr;
    return t;
}

Table* RecordStore::Impl::findOpen(const QString& path) const {
    for (const auto& t : tables)
        if (t->path.compare(path, Qt::CaseInsensitive) == 0)
            return t.get();
    return nullptr;
}

void RecordStore::Impl::closeTable(Table* t) {
    if (!t)
        return;
    if (txTable == t) {
        // Closing the connection rolls back whatever the transaction had written.
        txTable = nullptr;
        txFailed = true;
    }
    if (current == t)
        current = nullptr;
    noteClosing(t);
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        if (it->get() == t) {
            tables.erase(it);
            break;
        }
    }
}

bool RecordStore::Impl::sameRecords(sqlite3* a, sqlite3* b, int fieldCount) {
    QByteArray cols = "rn, deleted";
    for (int i = 0; i < fieldCount; ++i)
        cols += ", " + fieldColumn(i);
    const QByteArray sql = "SELECT " + cols + " FROM records ORDER BY rn";
    Stmt sa, sb;
    if (!sa.prepare(a, sql) || !sb.prepare(b, sql))
        return fail(QStringLiteral("cannot compare the protected copy"));
    for (;;) {
        const int ra = sa.step();
        const int rb = sb.step();
        if (ra != rb)
            return fail(QStringLiteral("protected copy differs"));
        if (ra == SQLITE_DONE)
            return true;
        if (ra != SQLITE_ROW)
            return fail(engineError(a));
        for (int c = 0; c < fieldCount + 2; ++c)
            if (sa.columnBlob(c) != sb.columnBlob(c))
                return fail(QStringLiteral("protected copy differs"));
    }
}

// Built beside its final name and linked into place once complete, so that a crash while it is
// built never leaves a half-made table under that name.
bool RecordStore::Impl::createCompanionFile(const QString& path, const QByteArray& key,
                                            const QList<FieldDef>& fields, const QList<QList<int>>& indexes) {
    const QString tmp = path + QStringLiteral(".create-tmp");
    QFile::remove(tmp + QStringLiteral("-journal"));
    QFile::remove(tmp);
    const QByteArray tmpName = QFile::encodeName(tmp);
    const int fd = ::open(tmpName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(
            QStringLiteral("cannot create %1: %2").arg(tmp, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    QString error;
    bool ok = buildTable(tmpName, key, fields, &indexes, &error) && fsyncPath(tmp, false);
    // link() refuses a name that exists: a file that appeared meanwhile is never replaced.
    if (ok && ::link(tmpName.constData(), QFile::encodeName(path).constData()) != 0) {
        error =
            QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ok = false;
    }
    QFile::remove(tmp + QStringLiteral("-journal"));
    QFile::remove(tmp);
    if (!ok)
        return fail(error);
    fsyncPath(QFileInfo(path).absolutePath(), true);
    return true;
}

namespace {
// Names, types and, for text fields, lengths alike, in the same order.
bool companionFieldsMatch(const QList<FieldDef>& a, const QList<FieldDef>& b) {
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type)
            return false;
        if (a[i].type == TextField && a[i].maxLength != b[i].maxLength)
            return false;
    }
    return true;
}

int fieldPosition(const QList<FieldDef>& fields, const QString& name) {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name == name)
            return i;
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
} // namespace

// head + " WHERE <conditions>" + tail, with the conditions' values bound from 1 on.
bool RecordStore::Impl::prepareCompanionQuery(Table* t, const QList<RecordStore::Condition>& where,
                                              const QByteArray& head, const QByteArray& tail, Stmt* s) {
    QByteArray sql = head;
    QList<QByteArray> values;
    for (const RecordStore::Condition& c : where) {
        const int i = fieldPosition(t->companionFields, c.field);
        if (i < 0)
            return fail(QStringLiteral("no field %1").arg(c.field));
        const char* op = c.kind == RecordStore::Condition::AtLeast  ? " >= ?"
                         : c.kind == RecordStore::Condition::AtMost ? " <= ?"
                                                                    : " = ?";
        sql += (values.isEmpty() ? " WHERE " : " AND ") + fieldColumn(i) + op;
        values.append(toGbk(c.value));
    }
    sql += tail;
    if (!s->prepare(t->db.get(), sql))
        return failEngine(t);
    for (int v = 0; v < values.size(); ++v)
        s->bindBlob(v + 1, values[v]);
    return true;
}

// ---------------------------------------------------------------------------------------------

RecordStore::RecordStore() : d(std::make_unique<Impl>()) {}

RecordStore::~RecordStore() { closeAll(); }

RecordStore& RecordStore::instance() {
    static RecordStore store;
    return store;
}

bool RecordStore::createTable(const QString& file, const QList<FieldDef>& fields) {
    std::lock_guard guard(m_mutex);
    QString error;
    if (!validFields(fields, &error))
        return d->fail(error);
    const QString path = cleanAbsolute(file);
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL: never take over a file that exists, even one that appeared a moment ago.
    const int fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return d->fail(QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(
                                                                            std::strerror(errno))));
    ::close(fd);

    if (!buildTable(name, QByteArray(), fields, nullptr, &error)) {
        QFile::remove(path + QStringLiteral("-journal"));
        QFile::remove(path);
        return d->fail(error);
    }
    return true;
}

bool RecordStore::isEncrypted(const QString& file) const {
    std::lock_guard guard(m_mutex);
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(sizeof kPlainHeader);
    if (head.isEmpty())
        return false;
    return head != QByteArray(kPlainHeader, sizeof kPlainHeader);
}

bool RecordStore::openTable(const QString& file, const std::optional<QString>& password) {
    return openChecked(file, password, nullptr);
}

bool RecordStore::openTable(const QString& file, const std::optional<QString>& password,
                            const QList<FieldDef>& expectedFields) {
    return openChecked(file, password, &expectedFields);
}

bool RecordStore::openChecked(const QString& file, const std::optional<QString>& password,
                              const QList<FieldDef>* expectedFields) {
    std::lock_guard guard(m_mutex);
    const QString path = cleanAbsolute(file);
    if (d->findOpen(path))
        return d->fail(QStringLiteral("%1 is already open").arg(path));
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return d->fail(QStringLiteral("%1 does not exist").arg(path));
    const qint64 fileSize = info.size();
    if (fileSize == 0)
        return d->fail(QStringLiteral("%1 is empty").arg(path));

    // An empty password is no password: the engine would treat an empty key as none.
    const QByteArray key = password ? passwordBytes(password) : QByteArray();
    const bool encrypted = isEncrypted(path);
    if (encrypted && key.isEmpty())
        return d->fail(QStringLiteral("%1 is protected: password needed").arg(path));
    if (!encrypted && !key.isEmpty())
        return d->fail(QStringLiteral("password does not match"));

    // Validate before anything can write: a foreign file, a wrong password or a damaged table
    // is refused with its bytes untouched. Without a journal an immutable read-only connection
    // looks at the file as it is. A leftover journal normally means our program stopped in the
    // middle of a commit, and the read-write open below lets the engine roll it back; but the
    // engine plays back any journal it finds, another table's included, so the roll-back is
    // first tried on a private copy and must leave a sound table there.
    // A file known sound with this key and unchanged since needs neither look.
    const bool journal = QFileInfo(path + QStringLiteral("-journal")).size() > 0;
    const bool known = !journal && d->isVerified(path, key);
    const QString otherFields = QStringLiteral("%1 holds a table of other fields").arg(path);
    QString error;
    if (!known) {
        TableInfo probeInfo;
        if (journal) {
            if (!recoveryIsSound(path, key, &probeInfo, &error))
                return d->fail(error);
        } else {
            DbPtr probe = openImmutable(path, key, &error);
            if (!probe || !readTableInfo(probe.get(), &probeInfo, &error) ||
                !checkFile(probe.get(), fileSize, &error))
                return d->fail(error);
        }
        if (expectedFields && !sameFieldList(probeInfo.fields, *expectedFields))
            return d->fail(otherFields);
    }

    std::unique_ptr<Table> t = d->openFile(path, key);
    if (!t)
        return false;
    if (expectedFields && !sameFieldList(t->fields, *expectedFields))
        return d->fail(otherFields);
    if (journal && !checkFile(t->db.get(), QFileInfo(path).size(), &error))
        return d->fail(error);
    if (!known) {
        const qint64 noted = wallClockNs();
        if (const std::optional<FileState> state = fileState(path))
            d->noteVerified(path, key, *state, noted);
    }
    d->current = t.get();
    d->tables.push_back(std::move(t));
    return true;
}

bool RecordStore::verifyFile(const QString& file, const QString& password) {
    const QString path = cleanAbsolute(file);
    const QByteArray key = passwordBytes(password);
    const std::optional<FileState> before = fileState(path);
    // A leftover journal is rolled back by the next open, which then checks the result itself.
    if (!before || before->size == 0 || key.isEmpty() || !isEncrypted(path) ||
        QFileInfo(path + QStringLiteral("-journal")).size() > 0)
        return false;
    {
        std::lock_guard guard(m_mutex);
        if (d->isVerified(path, key))
            return true;
    }
    const qint64 noted = wallClockNs();
    QString error;
    {
        DbPtr probe = openImmutable(path, key, &error);
        TableInfo info;
        if (!probe || !readTableInfo(probe.get(), &info, &error) || !checkFile(probe.get(), before->size, &error))
            return false;
    }
    // Only what was read is vouched for: a file that changed meanwhile is checked again later.
    if (fileState(path) != before)
        return false;
    std::lock_guard guard(m_mutex);
    d->noteVerified(path, key, *before, noted);
    return true;
}

bool RecordStore::openReplacingCurrent(const QString& file, const QString& password) {
    std::lock_guard guard(m_mutex);
    Table* previous = d->current;
    if (!openTable(file, password))
        return false;
    d->closeTable(previous);
    return true;
}

bool RecordStore::openReplacingCurrent(const QString& file, const QString& password,
                                       const QList<FieldDef>& expectedFields) {
    std::lock_guard guard(m_mutex);
    Table* previous = d->current;
    if (!openTable(file, password, expectedFields))
        return false;
    d->closeTable(previous);
    return true;
}

bool RecordStore::isOpen(const QString& file) const {
    std::lock_guard guard(m_mutex);
    return d->findOpen(cleanAbsolute(file)) != nullptr;
}

bool RecordStore::setPassword(const QString& password) {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    if (d->txDepth > 0)
        return d->fail(QStringLiteral("cannot change the password inside a transaction"));
    const QByteArray key = toGbk(password);
    if (key.isEmpty())
        return d->fail(QStringLiteral("empty password"));

    // The protected copy is built beside the file and only replaces it once verified, so a
    // failure at any point leaves the original as it was.
    const QString tmp = t->path + QStringLiteral(".protect-tmp");
    QFile::remove(tmp + QStringLiteral("-journal"));
    QFile::remove(tmp);
    const QByteArray tmpName = QFile::encodeName(tmp);
    const int fd = ::open(tmpName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return d->fail(QStringLiteral("cannot create %1").arg(tmp));
    ::close(fd);
    auto cleanup = [&] {
        QFile::remove(tmp + QStringLiteral("-journal"));
        QFile::remove(tmp);
    };

    sqlite3* db = t->db.get();
    QString error;
    {
        Stmt attach;
        if (!attach.prepare(db, "ATTACH DATABASE ? AS enc KEY ?")) {
            cleanup();
            return d->failEngine(t);
        }
        attach.bindBlob(1, tmpName);
        attach.bindBlob(2, key);
        if (attach.step() != SQLITE_DONE) {
            d->failEngine(t);
            cleanup();
            return false;
        }
    }
    pinCipherSettings(db, "enc");
    const bool exported = exec(db, "SELECT sqlcipher_export('enc')", &error);
    exec(db, "DETACH DATABASE enc", nullptr);
    if (!exported) {
        cleanup();
        return d->fail(error);
    }

    {
        DbPtr check = openImmutable(tmp, key, &error);
        TableInfo info;
        if (!check || !readTableInfo(check.get(), &info, &error) ||
            !checkFile(check.get(), QFileInfo(tmp).size(), &error)) {
            cleanup();
            return d->fail(error);
        }
        if (info.count != t->count || !d->sameRecords(db, check.get(), t->fields.size())) {
            cleanup();
            return false;
        }
    }
    if (!fsyncPath(tmp, false)) {
        cleanup();
        return d->fail(QStringLiteral("cannot flush %1").arg(tmp));
    }
    if (::rename(tmpName.constData(), QFile::encodeName(t->path).constData()) != 0) {
        cleanup();
        return d->fail(QStringLiteral("cannot replace %1: %2")
                           .arg(t->path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    fsyncPath(QFileInfo(t->path).absolutePath(), true);
    d->forgetVerified(t->path);

    // Reopen the replaced file in place of the old connection, keeping the current record.
    const QString path = t->path;
    const int record = t->current;
    std::unique_ptr<Table> reopened = d->openFile(path, key);
    d->closeTable(t);
    if (!reopened)
        return false;
    reopened->current = record <= reopened->count ? record : 0;
    d->loadCurrent(reopened.get());
    d->current = reopened.get();
    d->tables.push_back(std::move(reopened));
    return true;
}

bool RecordStore::hasCurrentTable() const {
    std::lock_guard guard(m_mutex);
    return d->current != nullptr;
}

QString RecordStore::currentFile() const {
    std::lock_guard guard(m_mutex);
    return d->current ? d->current->path : QString();
}

QList<FieldDef> RecordStore::fields() const {
    std::lock_guard guard(m_mutex);
    return d->current ? d->current->fields : QList<FieldDef>();
}

int RecordStore::recordCount() const {
    std::lock_guard guard(m_mutex);
    return d->current ? d->current->count : 0;
}

bool RecordStore::goToRecord(int n) {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    if (n < 1 || n > t->count)
        return d->fail(QStringLiteral("record %1 is out of range").arg(n));
    t->current = n;
    return d->loadCurrent(t);
}

int RecordStore::currentRecord() const {
    std::lock_guard guard(m_mutex);
    return d->current ? d->current->current : 0;
}

QString RecordStore::readField(const QString& name) const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t || t->current == 0)
        return {};
    const int i = t->fieldIndex(name);
    return i < 0 ? QString() : t->text(i);
}

bool RecordStore::readFlag(const QString& name) const {
    std::lock_guard guard(m_mutex);
    const Table* t = d->current;
    if (!t || t->current == 0)
        return false;
    const int i = t->fieldIndex(name);
    return i >= 0 && t->values[i] == "1";
}

QStringList RecordStore::readRecord() const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    QStringList out;
    if (!t || t->current == 0)
        return out;
    for (int i = 0; i < t->fields.size(); ++i)
        out.append(t->text(i));
    return out;
}

bool RecordStore::readRecords(int from, int to, const RecordVisitor& fn) const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    from = std::max(from, 1);
    to = std::min(to, t->count);
    if (from > to)
        return true;
    Stmt& s = t->selectRange;
    StmtUse use(s);
    s.bindInt(1, from);
    s.bindInt(2, to);
    const int n = int(t->fields.size());
    std::vector<QByteArrayView> values(n);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            const char* p = static_cast<const char*>(sqlite3_column_blob(s.get(), i + 1));
            values[i] = QByteArrayView(p, p ? sqlite3_column_bytes(s.get(), i + 1) : 0);
        }
        fn(int(s.columnInt(0)), values);
    }
    return rc == SQLITE_DONE ? true : d->failEngine(t);
}

bool RecordStore::writeField(const QString& name, const QString& value) {
    std::lock_guard guard(m_mutex);
    const int i = d->current ? d->current->fieldIndex(name) : -1;
    if (d->current && i < 0)
        return d->fail(QStringLiteral("no field %1").arg(name));
    return d->writeBytes(i, value);
}

bool RecordStore::writeFlag(const QString& name, bool value) {
    return writeField(name, value ? QStringLiteral("1") : QString());
}

bool RecordStore::modifyField(int position, const QString& value) {
    std::lock_guard guard(m_mutex);
    return d->writeBytes(position - 1, value);
}

bool RecordStore::addBlankRecord() {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    const bool inTx = d->inTransaction(t);
    if (inTx && d->txFailed)
        return d->fail(QStringLiteral("the transaction was rolled back"));
    if (!d->fileStillThere(t))
        return false;
    {
        StmtUse use(t->insertBlank);
        t->insertBlank.bindInt(1, t->count + 1);
        if (t->insertBlank.step() != SQLITE_DONE) {
            d->failEngine(t);
            if (inTx) {
                const QString error = d->lastError;
                d->rollbackTransaction();
                d->lastError = error;
            }
            return false;
        }
    }
    ++t->count;
    t->current = t->count;
    t->clearValues();
    return true;
}

bool RecordStore::deleteRecord() {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    if (t->current == 0)
        return d->fail(QStringLiteral("no current record"));
    const bool inTx = d->inTransaction(t);
    if (inTx && d->txFailed)
        return d->fail(QStringLiteral("the transaction was rolled back"));
    if (!d->fileStillThere(t))
        return false;
    StmtUse use(t->markDeleted);
    t->markDeleted.bindInt(1, t->current);
    if (t->markDeleted.step() != SQLITE_DONE) {
        d->failEngine(t);
        if (inTx) {
            const QString error = d->lastError;
            d->rollbackTransaction();
            d->lastError = error;
        }
        return false;
    }
    t->deleted = true;
    return true;
}

bool RecordStore::purgeDeleted() {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    const bool inTx = d->inTransaction(t);
    if (inTx && d->txFailed)
        return d->fail(QStringLiteral("the transaction was rolled back"));
    if (!d->fileStillThere(t))
        return false;
    sqlite3* db = t->db.get();
    QString error;
    if (!inTx && !exec(db, "BEGIN IMMEDIATE", &error))
        return d->fail(error);

    // Rows after the first deleted one move down, in ascending order, so each new number is
    // free by the time it is taken.
    auto run = [&]() -> bool {
        qint64 first = 0;
        if (!queryInt(db, "SELECT coalesce(min(rn), 0) FROM records WHERE deleted <> 0", &first,
                      &error))
            return false;
        if (first == 0)
            return true;
        if (!exec(db, "DELETE FROM records WHERE deleted <> 0", &error))
            return false;
        std::vector<qint64> later;
        {
            Stmt s;
            if (!s.prepare(db, "SELECT rn FROM records WHERE rn > ? ORDER BY rn"))
                return error = engineError(db), false;
            s.bindInt(1, first);
            int rc;
            while ((rc = s.step()) == SQLITE_ROW)
                later.push_back(s.columnInt(0));
            if (rc != SQLITE_DONE)
                return error = engineError(db), false;
        }
        Stmt move;
        if (!move.prepare(db, "UPDATE records SET rn = ? WHERE rn = ?"))
            return error = engineError(db), false;
        qint64 next = first;
        for (qint64 rn : later) {
            move.bindInt(1, next++);
            move.bindInt(2, rn);
            if (move.step() != SQLITE_DONE)
                return error = engineError(db), false;
            move.reset();
        }
        return true;
    };

    if (!run()) {
        d->fail(error);
        if (inTx) {
            d->rollbackTransaction();
        } else {
            if (!sqlite3_get_autocommit(db))
                exec(db, "ROLLBACK", nullptr);
            d->reloadAfterRollback(t);
        }
        d->lastError = error;
        return false;
    }
    if (!inTx && !exec(db, "COMMIT", &error)) {
        if (!sqlite3_get_autocommit(db))
            exec(db, "ROLLBACK", nullptr);
        d->reloadAfterRollback(t);
        return d->fail(error);
    }
    // Numbers have moved: no record stays current.
    qint64 maxRn = 0;
    queryInt(db, "SELECT coalesce(max(rn), 0) FROM records", &maxRn, &error);
    t->count = int(maxRn);
    t->current = 0;
    d->loadCurrent(t);
    return true;
}

int RecordStore::findFirst(const QString& fieldName, const QString& value, int from) const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return 0;
    const int i = t->fieldIndex(fieldName);
    if (i < 0)
        return 0;
    Stmt& s = t->findFrom[i];
    StmtUse use(s);
    s.bindBlob(1, toGbk(value));
    s.bindInt(2, std::max(from, 1));
    const int rc = s.step();
    if (rc == SQLITE_ROW)
        return int(s.columnInt(0));
    if (rc != SQLITE_DONE)
        d->failEngine(t);
    return 0;
}

int RecordStore::goToFirst(const QString& fieldName, const QString& value, int from, int* next) {
    std::lock_guard guard(m_mutex);
    if (next)
        *next = 0;
    Table* t = d->current;
    if (!t)
        return 0;
    const int i = t->fieldIndex(fieldName);
    if (i < 0)
        return 0;
    Stmt& s = t->findAndRead[i];
    StmtUse use(s);
    s.bindBlob(1, toGbk(value));
    s.bindInt(2, std::max(from, 1));
    int rc = s.step();
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE)
            d->failEngine(t);
        t->current = 0;
        t->clearValues();
        return 0;
    }
    t->current = int(s.columnInt(0));
    t->clearValues();
    t->deleted = s.columnInt(1) != 0;
    for (int f = 0; f < t->fields.size(); ++f)
        t->values[f] = s.columnBlob(f + 2);
    const int found = t->current;
    rc = s.step();
    if (next && rc == SQLITE_ROW)
        *next = int(s.columnInt(0));
    return found;
}

QList<int> RecordStore::findAll(const QString& fieldName, const QString& value) const {
    std::lock_guard guard(m_mutex);
    QList<int> out;
    Table* t = d->current;
    if (!t)
        return out;
    const int i = t->fieldIndex(fieldName);
    if (i < 0)
        return out;
    Stmt& s = t->findAll[i];
    StmtUse use(s);
    s.bindBlob(1, toGbk(value));
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        out.append(int(s.columnInt(0)));
    if (rc != SQLITE_DONE)
        d->failEngine(t);
    return out;
}

bool RecordStore::attachCompanion(const QString& file, const QList<FieldDef>& fields,
                                  const QList<QStringList>& indexes) {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    QString error;
    if (!validFields(fields, &error))
        return d->fail(error);
    const QString path = cleanAbsolute(file);
    if (!t->companionPath.isEmpty()) {
        if (t->companionPath == path && companionFieldsMatch(t->companionFields, fields))
            return true;
        return d->fail(QStringLiteral("another companion is attached"));
    }
    if (d->txDepth > 0)
        return d->fail(QStringLiteral("cannot attach a companion inside a transaction"));
    if (path.compare(t->path, Qt::CaseInsensitive) == 0)
        return d->fail(QStringLiteral("a table cannot be its own companion"));
    QList<QList<int>> indexColumns;
    for (const QStringList& names : indexes) {
        QList<int> columns;
        for (const QString& name : names) {
            const int i = fieldPosition(fields, name);
            if (i < 0)
                return d->fail(QStringLiteral("no field %1 to index").arg(name));
            columns.append(i);
        }
        if (!columns.isEmpty())
            indexColumns.append(columns);
    }

    if (!QFileInfo::exists(path) && !d->createCompanionFile(path, t->key, fields, indexColumns))
        return false;

    // The same checks as openTable's, the leftover journal included: it is rolled back by the
    // first read through the attachment, and the recovered file checked then.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0)
        return d->fail(QStringLiteral("%1 is empty or not a file").arg(path));
    if (isEncrypted(path) != !t->key.isEmpty())
        return d->fail(QStringLiteral("password does not match"));
    const bool journal = QFileInfo(path + QStringLiteral("-journal")).size() > 0;
    const bool known = !journal && d->isVerified(path, t->key);
    if (!known) {
        DbPtr probe = openImmutable(path, t->key, &error);
        TableInfo probeInfo;
        if (!probe || !readTableInfo(probe.get(), &probeInfo, &error) ||
            (!journal && !checkFile(probe.get(), info.size(), &error)))
            return d->fail(error);
    }

    sqlite3* db = t->db.get();
    if (!t->key.isEmpty())
        pinDefaultCipherSettings(db);
    {
        Stmt attach;
        if (!attach.prepare(db, "ATTACH DATABASE ? AS companion KEY ?"))
            return d->failEngine(t);
        attach.bindBlob(1, QFile::encodeName(path));
        attach.bindBlob(2, t->key);
        if (attach.step() != SQLITE_DONE)
            return d->failEngine(t);
    }
    TableInfo companion;
    const bool ok = exec(db, "PRAGMA companion.synchronous = FULL", &error) &&
                    exec(db, "PRAGMA companion.journal_mode = DELETE", &error) &&
                    readTableInfo(db, &companion, &error, "companion") &&
                    (!journal || checkFile(db, QFileInfo(path).size(), &error, "companion"));
    if (ok && !companionFieldsMatch(companion.fields, fields))
        error = QStringLiteral("%1 holds other fields").arg(path);
    QByteArray insert = "INSERT INTO companion.records(rn";
    QByteArray params = "NULL";
    for (int i = 0; i < fields.size(); ++i) {
        insert += ", " + fieldColumn(i);
        params += ", ?";
    }
    insert += ") VALUES(" + params + ")";
    if (!ok || !companionFieldsMatch(companion.fields, fields) || !t->companionInsert.prepare(db, insert)) {
        if (ok && error.isEmpty())
            error = engineError(db);
        t->companionInsert = Stmt();
        exec(db, "DETACH DATABASE companion", nullptr);
        return d->fail(error);
    }
    if (!known) {
        const qint64 noted = wallClockNs();
        if (const std::optional<FileState> state = fileState(path))
            d->noteVerified(path, t->key, *state, noted);
    }
    t->companionPath = path;
    t->companionFields = fields;
    return true;
}

QString RecordStore::companionFile() const {
    std::lock_guard guard(m_mutex);
    return d->current ? d->current->companionPath : QString();
}

bool RecordStore::appendCompanionRecord(const QStringList& values) {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t)
        return d->fail(QStringLiteral("no current table"));
    if (t->companionPath.isEmpty())
        return d->fail(QStringLiteral("no companion attached"));
    if (!d->inTransaction(t))
        return d->fail(QStringLiteral("a companion record is appended inside a transaction only"));
    if (d->txFailed)
        return d->fail(QStringLiteral("the transaction was rolled back"));
    if (!d->fileStillThere(t) || !d->fileStillThere(t, "companion"))
        return false;
    const QList<FieldDef>& fields = t->companionFields;
    if (d->hook && !d->hook(fields.first().name)) {
        d->fail(QStringLiteral("write to %1 failed").arg(QFileInfo(t->companionPath).fileName()));
        d->rollbackTransaction();
        return false;
    }
    Stmt& s = t->companionInsert;
    StmtUse use(s);
    for (int i = 0; i < fields.size(); ++i) {
        const QString value = values.value(i);
        s.bindBlob(i + 1, fields[i].type == LogicalField
                              ? (value == QLatin1String("1") ? QByteArray("1") : QByteArray())
                              : truncateGbkBytes(toGbk(value), fields[i].maxLength));
    }
    if (s.step() != SQLITE_DONE) {
        d->failEngine(t);
        const QString error = d->lastError;
        d->rollbackTransaction();
        d->lastError = error;
        return false;
    }
    return true;
}

qint64 RecordStore::countCompanionRecords(const QList<Condition>& where) const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t || t->companionPath.isEmpty()) {
        d->fail(QStringLiteral("no companion attached"));
        return -1;
    }
    Stmt s;
    if (!d->prepareCompanionQuery(t, where, "SELECT count(*) FROM companion.records", QByteArray(), &s))
        return -1;
    if (s.step() != SQLITE_ROW) {
        d->failEngine(t);
        return -1;
    }
    return s.columnInt(0);
}

bool RecordStore::readCompanionRecords(const QList<Condition>& where, const QString& descendingBy,
                                       qint64 offset, qint64 limit, const RecordVisitor& fn) const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    if (!t || t->companionPath.isEmpty())
        return d->fail(QStringLiteral("no companion attached"));
    const int n = int(t->companionFields.size());
    QByteArray head = "SELECT rn";
    for (int i = 0; i < n; ++i)
        head += ", " + fieldColumn(i);
    head += " FROM companion.records";
    QByteArray tail = " ORDER BY ";
    if (!descendingBy.isEmpty()) {
        const int order = fieldPosition(t->companionFields, descendingBy);
        if (order < 0)
            return d->fail(QStringLiteral("no field %1").arg(descendingBy));
        tail += fieldColumn(order) + " DESC, ";
    }
    tail += "rn DESC LIMIT " + QByteArray::number(limit < 0 ? -1 : limit) + " OFFSET " +
            QByteArray::number(std::max<qint64>(offset, 0));
    Stmt s;
    if (!d->prepareCompanionQuery(t, where, head, tail, &s))
        return false;
    std::vector<QByteArrayView> values(n);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            const char* p = static_cast<const char*>(sqlite3_column_blob(s.get(), i + 1));
            values[i] = QByteArrayView(p, p ? sqlite3_column_bytes(s.get(), i + 1) : 0);
        }
        fn(int(s.columnInt(0)), values);
    }
    return rc == SQLITE_DONE ? true : d->failEngine(t);
}

bool RecordStore::copyTableFile(const QString& source, const QString& target, const QString& password) {
    std::lock_guard guard(m_mutex);
    if (d->txDepth > 0)
        return d->fail(QStringLiteral("cannot copy a table inside a transaction"));
    const QString from = cleanAbsolute(source);
    const QString to = cleanAbsolute(target);
    const QByteArray key = passwordBytes(password);
    if (isEncrypted(from) == key.isEmpty())
        return d->fail(QStringLiteral("password does not match"));
    QString error;
    // Read-write, never create: a journal left by a crash is rolled back before the copy.
    DbPtr src = openConnection(QFile::encodeName(from), SQLITE_OPEN_READWRITE, key, &error);
    TableInfo info;
    if (!src || !readTableInfo(src.get(), &info, &error))
        return d->fail(error);
    const QByteArray toName = QFile::encodeName(to);
    const int fd = ::open(toName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return d->fail(
            QStringLiteral("cannot create %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    auto discard = [&](const QString& why) {
        QFile::remove(to + QStringLiteral("-journal"));
        QFile::remove(to);
        return d->fail(why);
    };
    // One read transaction over the copy and its comparison: the source cannot change between.
    if (!exec(src.get(), "BEGIN", &error) ||
        !readTableInfo(src.get(), &info, &error))
        return discard(error);
    bool copied = false;
    {
        DbPtr dest = openConnection(toName, SQLITE_OPEN_READWRITE, key, &error);
        if (!dest)
            return discard(error);
        sqlite3_backup* backup = sqlite3_backup_init(dest.get(), "main", src.get(), "main");
        if (!backup)
            return discard(engineError(dest.get()));
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        copied = rc == SQLITE_DONE;
        if (!copied)
            error = engineError(dest.get());
    }
    if (!copied)
        return discard(error);
    {
        DbPtr check = openImmutable(to, key, &error);
        TableInfo copy;
        if (!check || !readTableInfo(check.get(), &copy, &error) ||
            !checkFile(check.get(), QFileInfo(to).size(), &error))
            return discard(error);
        if (copy.count != info.count || !companionFieldsMatch(copy.fields, info.fields) ||
            !d->sameRecords(src.get(), check.get(), int(info.fields.size())))
            return discard(QStringLiteral("the copy of %1 differs").arg(from));
    }
    exec(src.get(), "COMMIT", nullptr);
    if (!fsyncPath(to, false))
        return discard(QStringLiteral("cannot flush %1").arg(to));
    return true;
}

void RecordStore::closeAll() {
    std::lock_guard guard(m_mutex);
    if (d->txTable) {
        d->txTable = nullptr;
        d->txFailed = true;
    }
    d->current = nullptr;
    for (const auto& t : d->tables)
        d->noteClosing(t.get());
    d->tables.clear();
}

bool RecordStore::integrityCheck(QString* report) const {
    std::lock_guard guard(m_mutex);
    Table* t = d->current;
    QStringList findings;
    if (!t) {
        findings.append(QStringLiteral("no current table"));
    } else {
        Stmt s;
        if (!s.prepare(t->db.get(), "PRAGMA integrity_check")) {
            findings.append(engineError(t->db.get()));
        } else {
            int rc;
            while ((rc = s.step()) == SQLITE_ROW)
                findings.append(QString::fromUtf8(s.columnBlob(0)));
            if (rc != SQLITE_DONE)
                findings.append(engineError(t->db.get()));
        }
    }
    const bool sound = findings == QStringList{QStringLiteral("ok")};
    if (report)
        *report = findings.join(u'\n');
    return sound;
}

QString RecordStore::lastError() const {
    std::lock_guard guard(m_mutex);
    return d->lastError;
}

void RecordStore::setWriteHookForTesting(WriteHook hook) {
    std::lock_guard guard(m_mutex);
    d->hook = hook;
}

// ---------------------------------------------------------------------------------------------

RecordStore::Lock::Lock(RecordStore& store) : m_store(store) { m_store.m_mutex.lock(); }

RecordStore::Lock::~Lock() { m_store.m_mutex.unlock(); }

RecordStore::Transaction::Transaction(RecordStore& store) : m_store(store), m_lock(store) {
    Impl& d = *m_store.d;
    if (d.txDepth > 0) {
        // A Transaction inside another joins it: the outer one commits or rolls back.
        m_joined = true;
        m_owns = true;
        ++d.txDepth;
        m_active = !d.txFailed;
        return;
    }
    Table* t = d.current;
    if (!t) {
        d.fail(QStringLiteral("no current table"));
        return;
    }
    // Registered even when BEGIN fails: the writes meant for it must then fail too rather
    // than be committed one by one.
    d.txTable = t;
    d.txDepth = 1;
    m_owns = true;
    QString error;
    if (!exec(t->db.get(), "BEGIN IMMEDIATE", &error)) {
        d.txFailed = true;
        d.fail(error);
        return;
    }
    d.txFailed = false;
    m_active = true;
}

RecordStore::Transaction::~Transaction() { rollback(); }

bool RecordStore::Transaction::commit() {
    Impl& d = *m_store.d;
    if (!m_owns)
        return d.fail(QStringLiteral("no active transaction"));
    m_owns = false;
    m_active = false;
    if (m_joined) {
        --d.txDepth;
        return d.txFailed ? d.fail(QStringLiteral("the transaction was rolled back")) : true;
    }
    Table* t = d.txTable;
    const bool failed = d.txFailed;
    d.txDepth = 0;
    d.txTable = nullptr;
    d.txFailed = false;
    if (failed || !t)
        return d.fail(QStringLiteral("the transaction was rolled back"));
    QString error;
    if (!d.fileStillThere(t) || !exec(t->db.get(), "COMMIT", &error)) {
        if (error.isEmpty())
            error = d.lastError;
        if (!sqlite3_get_autocommit(t->db.get()))
            exec(t->db.get(), "ROLLBACK", nullptr);
        d.reloadAfterRollback(t);
        return d.fail(error);
    }
    return true;
}

void RecordStore::Transaction::rollback() {
    Impl& d = *m_store.d;
    if (!m_owns)
        return;
    m_owns = false;
    m_active = false;
    // An inner rollback cannot undo only its own part: the whole transaction goes.
    d.rollbackTransaction();
    if (m_joined) {
        --d.txDepth;
        return;
    }
    d.txDepth = 0;
    d.txTable = nullptr;
    d.txFailed = false;
}

} // namespace quorvel
