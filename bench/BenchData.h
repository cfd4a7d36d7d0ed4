#pragma once
// Member tables for the benchmark, built through the program's own store and kept in a cache
// folder, and the direct SQLCipher connection that does the same work as thinly as possible.
#include <QByteArray>
#include <QString>

#include <sqlcipher/sqlite3.h>

#include <vector>

namespace quorvel::bench {

// The members the timed steps work on, chosen near the end of the table.
struct Targets {
    int countRecord = 0; // a "次卡" with visits enough for every charge of a run
    int moneyRecord = 0; // a "储蓄卡" with balance enough for every charge of a run
    int topUpRecord = 0; // a "无限卡"
    int queryRecord = 0; // the only member with its name and phone
    QString countCard, moneyCard, topUpCard;
    QString queryName, queryPhone;
    QString absentCard, absentName, absentPhone;
};

// What member i (1-based) of a table of n holds, in field order; the same on every run.
std::vector<QString> memberValues(int i, int n);
Targets targetsFor(int n);

// Path of thy.dat holding n members in cacheRoot, created (minutes for 1,000,000) when missing.
// Empty on failure, with the reason on stderr.
QString cachedMemberTable(const QString& cacheRoot, int n);

// gly.dat with one administrator, at path.
bool makeOperatorTable(const QString& path);

// A connection of its own to a member table, with the store's key, cipher settings and
// pragmas, and prepared statements for the work the program does.
class DirectTable {
public:
    DirectTable() = default;
    ~DirectTable();
    DirectTable(const DirectTable&) = delete;
    DirectTable& operator=(const DirectTable&) = delete;

    // Opens and reads the schema (which derives the key); false on failure.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // First record whose card (name, phone) equals value: its number and its twelve values.
    int findFirst(int column, const QByteArray& value, std::vector<QByteArray>* values);
    // One transaction: column a := va, column b := vb of record rn. False on failure.
    bool update2(int rn, int a, const QByteArray& va, int b, const QByteArray& vb);
    // Twelve values of record rn.
    bool readRecord(int rn, std::vector<QByteArray>* values);
    // Every record in record order, columns 2..11 touched; returns the rows read.
    int scanAll(qint64* bytes);

    QString error() const;

private:
    sqlite3_stmt* prepared(const QByteArray& sql);

    sqlite3* m_db = nullptr;
    std::vector<std::pair<QByteArray, sqlite3_stmt*>> m_statements;
};

// 1-based column numbers of the member fields in the file ("f1".."f12").
enum Column { ColId = 1, ColCard, ColName, ColGender, ColPhone, ColType, ColVisits, ColBalance,
              ColOperator, ColPoints, ColSignUp, ColSwipes };

} // namespace quorvel::bench
