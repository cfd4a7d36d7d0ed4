#pragma once
// Record tables: one table of named fields per password-protected file, at most one current
// table and one current record for the whole program. Files are SQLCipher databases.
//
// Threads: the store is shared by the GUI thread and worker threads. Every public operation
// takes the store's lock for its own duration; an operation that needs the current record to
// stay put across goToRecord, reads and writes holds a Lock for the whole of it, and one whose
// several writes must be all-or-nothing opens a Transaction (which also holds the lock).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

namespace quorvel {

enum FieldType : int { TextField = 10, LogicalField = 7 };

struct FieldDef {
    QString name;
    int type = 0;
    int maxLength = 20; // bytes of GBK text; meaningless for a logical field
};

class RecordStore {
public:
    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // The program-wide store.
    static RecordStore& instance();

    // Creates file with an empty, unprotected table of these fields; leaves it closed.
    // Fails (and changes nothing) when the file already exists or the fields are invalid.
    bool createTable(const QString& file, const QList<FieldDef>& fields);
    // True when the file exists and is not a plain (unprotected) table file.
    bool isEncrypted(const QString& file) const;

    // Opens the table and makes it current; other open tables stay open. False, with the
    // current table unchanged and the file untouched, when the file is missing, empty, damaged,
    // not a table, the password does not match, or that file is already open.
    // No password opens an unprotected file only (an empty password counts as none).
    // A newly opened table has no current record until goToRecord.
    bool openTable(const QString& file, const std::optional<QString>& password = std::nullopt);
    // The check openTable makes of a file (key, schema, every page read through), without
    // opening it: any thread, the lock held only to note the result. A later openTable of the
    // file, unchanged since or changed only by this store's own writes, then skips reading it
    // through, which for a large table is most of the time an open takes.
    bool verifyFile(const QString& file, const QString& password);
    // As openTable; on success also closes the table that was current before.
    bool openReplacingCurrent(const QString& file, const QString& password);
    // Both, refused in the same way unless the file's fields are expectedFields (names, types
    // and text lengths, in order): a table of another kind under the same password is not
    // opened, and its bytes are not touched.
    bool openTable(const QString& file, const std::optional<QString>& password,
                   const QList<FieldDef>& expectedFields);
    bool openReplacingCurrent(const QString& file, const QString& password,
                              const QList<FieldDef>& expectedFields);
    // True when the table of that file (full path, case ignored) is open.
    bool isOpen(const QString& file) const;
    // Protects the current table's file with password (re-keys it when already protected).
    bool setPassword(const QString& password);

    bool hasCurrentTable() const;
    QString currentFile() const;
    QList<FieldDef> fields() const;

    int recordCount() const;
    // Record n (1..recordCount) becomes the current record; false when out of range.
    bool goToRecord(int n);
    int currentRecord() const; // 0 when none

    // Field names are matched ignoring case.
    // Value of the current record: text for text fields, "1" or "" for logical fields.
    // Empty when there is no current record or no such field.
    QString readField(const QString& name) const;
    bool readFlag(const QString& name) const;
    // The current record's values in field order.
    QStringList readRecord() const;

    // Records from..to (clamped to 1..recordCount) in record order, read by one statement under
    // one hold of the lock, for long lists: a read per record would pay the engine's lock and
    // page checks each time. fn gets each record's number and its stored values (GBK bytes, the
    // logical fields "1" or empty) in field order, valid during the call only. The current
    // record does not move. False when there is no current table or the engine fails.
    using RecordVisitor = std::function<void(int record, std::span<const QByteArrayView> values)>;
    bool readRecords(int from, int to, const RecordVisitor& fn) const;

    // Store a value in the current record at once (durably, or inside the open Transaction).
    // A text longer than the field's maximum is cut at a character boundary. A logical field
    // is set by "1" and cleared by anything else.
    bool writeField(const QString& name, const QString& value);
    bool writeFlag(const QString& name, bool value);
    // Field by its 1-based position in the field list.
    bool modifyField(int position, const QString& value);

    // Appends a record with empty fields and makes it current.
    bool addBlankRecord();
    // Marks the current record deleted; purgeDeleted removes the marked records and renumbers
    // (afterwards no record is current).
    bool deleteRecord();
    bool purgeDeleted();

    // First record number >= from whose field equals value byte for byte (GBK), 0 when none.
    // Uses an index: the same answer as a scan in record order, without the scan. Records
    // marked deleted are still found until purged.
    int findFirst(const QString& fieldName, const QString& value, int from = 1) const;
    // Every matching record number, in record order.
    QList<int> findAll(const QString& fieldName, const QString& value) const;
    // findFirst, and the record found becomes the current record, read by the same statement
    // (a lookup then costs one read of the file, not two). *next, when given, receives the next
    // matching record number after it, 0 when there is none. 0, no record current, when none.
    int goToFirst(const QString& fieldName, const QString& value, int from = 1, int* next = nullptr);

    // A companion table: a second table file attached to the current table's own connection,
    // so that a record appended to it inside a Transaction is committed or rolled back together
    // with the current table's writes, after a crash too (the engine commits both files as one).
    // The file is keyed with the current table's password. A missing one is created with fields
    // and an index on each list of field names in indexes; an existing one is checked as openTable
    // checks a file and must have exactly these fields. It stays attached until the current table
    // is closed; true at once when that file is attached already. Never inside a Transaction.
    bool attachCompanion(const QString& file, const QList<FieldDef>& fields,
                         const QList<QStringList>& indexes = {});
    // The companion attached to the current table; empty when it has none.
    QString companionFile() const;
    // Appends a record holding values in field order (missing ones empty; texts cut as by
    // writeField) to the companion. Only inside a Transaction on the current table; a failure
    // rolls the whole transaction back, as a failed writeField does.
    bool appendCompanionRecord(const QStringList& values);

    // A condition on a field of the companion, compared byte for byte (GBK).
    struct Condition {
        enum Kind { Equal, AtLeast, AtMost };
        QString field;
        Kind kind = Equal;
        QString value;
    };
    // How many companion records meet every condition; -1 when it cannot be read.
    qint64 countCompanionRecords(const QList<Condition>& where) const;
    // The companion records meeting every condition, ordered by the field descendingBy from the
    // largest value down and, among equal values, from the latest record down (the latest
    // first when descendingBy is empty); the first offset of them skipped, at most limit given
    // (no limit when negative). fn gets them as readRecords gives its records.
    bool readCompanionRecords(const QList<Condition>& where, const QString& descendingBy, qint64 offset,
                              qint64 limit, const RecordVisitor& fn) const;

    // Copies the table file source to target, which must not exist yet: every page read under one
    // read lock of the engine, so that no writer (of this program or another) changes the file
    // halfway; the copy is checked before it is kept. Outside a Transaction only; hold a Lock
    // across several copies to keep them consistent with each other.
    bool copyTableFile(const QString& source, const QString& target, const QString& password);

    // Closes every table; none is current.
    void closeAll();

    // The engine's full check of the current table's file (every page, every index). True when
    // sound; *report (when given) receives the engine's findings either way.
    bool integrityCheck(QString* report = nullptr) const;

    // The last error text of the engine, for diagnostics.
    QString lastError() const;

    // Holds the store's lock (recursive) for a sequence of operations.
    class Lock {
    public:
        explicit Lock(RecordStore& store);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        RecordStore& m_store;
    };

    // All-or-nothing writes on the current table. Holds the lock until it ends. Without
    // commit() the writes are rolled back when it goes out of scope; commit() returns false
    // (and rolls back) when they could not be made durable. A write that fails inside it rolls
    // the whole transaction back at once: later writes in it fail and commit() returns false.
    // A Transaction opened while another is active joins it: its commit() makes nothing
    // durable (the outer one decides), its rollback rolls back the whole transaction.
    class Transaction {
    public:
        explicit Transaction(RecordStore& store);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        bool isActive() const { return m_active; }
        bool commit();
        void rollback();

    private:
        RecordStore& m_store;
        Lock m_lock;
        bool m_active = false;
        bool m_joined = false; // opened inside another Transaction and part of it
        bool m_owns = false; // counted in the store's transaction state until it ends
    };

    // Test hook: when set, called with the field name before each write inside a transaction;
    // returning false makes that write fail (simulates a crash or an I/O error in between).
    using WriteHook = bool (*)(const QString& fieldName);
    void setWriteHookForTesting(WriteHook hook);

private:
    bool openChecked(const QString& file, const std::optional<QString>& password,
                     const QList<FieldDef>* expectedFields);

    struct Impl;
    std::unique_ptr<Impl> d;
    mutable std::recursive_mutex m_mutex;
};

// The password of both tables.
inline const QString kTablePassword = QStringLiteral("~^!5");

} // namespace quorvel
