#pragma once
// Builds protected operator and member tables for tests, through the real store.
#include <QList>
#include <QString>
#include <QStringList>

namespace quorvel::test {

struct OperatorRow {
    QString name;
    QString password;
    bool administrator = true;
};

// Creates gly.dat at path, protected with the tables' password, holding rows; leaves it closed.
bool makeOperatorTable(const QString& path, const QList<OperatorRow>& rows);

} // namespace quorvel::test
