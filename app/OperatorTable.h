#pragma once
// The operator table "gly.dat": who may log in, and with which right.
#include "store/RecordStore.h"

#include <QList>
#include <QString>

namespace quorvel::operators {

inline const QString kFieldId = QStringLiteral("ID");
inline const QString kFieldName = QStringLiteral("管理员名称");
inline const QString kFieldPassword = QStringLiteral("管理员密码");
inline const QString kFieldRight = QStringLiteral("管理员权限");

inline const QString kSeedName = QStringLiteral("QELV软件");
inline const QString kSeedPassword = QStringLiteral("907153");

QString tablePath();

// The four field definitions the table is created with.
QList<FieldDef> fieldList();

// One operator as stored.
struct Operator {
    QString name;
    QString password;
    bool administrator = false;
};

// Reads record n of the current table (which must be the operator table).
Operator readOperator(RecordStore& store, int n);

// The login comparison: the first record of that name decides.
enum class Credential { Accepted, WrongPassword, UnknownName };
struct CredentialCheck {
    Credential outcome = Credential::UnknownName;
    int record = 0;
    Operator op;
};
CredentialCheck checkCredentials(RecordStore& store, const QString& name, const QString& password);

// Every operator of the current table, in record order.
QList<Operator> readAll(RecordStore& store);
int administratorCount(const QList<Operator>& all);

} // namespace quorvel::operators
