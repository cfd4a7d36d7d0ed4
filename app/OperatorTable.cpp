#include "app/OperatorTable.h"

#include "config/RunDirectory.h"

namespace quorvel::operators {

QString tablePath() {
    return runPath(kOperatorTableFile);
}

QList<FieldDef> fieldList() {
    // Built entry by entry from four blank entries, as the table's creation always did.
    QList<FieldDef> fields(4);
    fields[0] = {kFieldId, TextField, 50};
    fields[1] = {kFieldName, TextField, 50};
    fields[2] = {kFieldPassword, TextField, 50};
    fields[3].name = kFieldRight;
    fields[3].type = LogicalField;
    return fields;
}

Operator readOperator(RecordStore& store, int n) {
    RecordStore::Lock lock(store);
    Operator op;
    if (!store.goToRecord(n))
        return op;
    op.name = store.readField(kFieldName);
    op.password = store.readField(kFieldPassword);
    op.administrator = store.readFlag(kFieldRight);
    return op;
}

CredentialCheck checkCredentials(RecordStore& store, const QString& name, const QString& password) {
    RecordStore::Lock lock(store);
    CredentialCheck check;
    const int n = store.recordCount();
    for (int i = 1; i <= n; ++i) {
        Operator op = readOperator(store, i);
        if (op.name != name)
            continue;
        check.record = i;
        check.outcome = op.password == password ? Credential::Accepted : Credential::WrongPassword;
        check.op = std::move(op);
        return check;
    }
    return check;
}

QList<Operator> readAll(RecordStore& store) {
    RecordStore::Lock lock(store);
    QList<Operator> all;
    const int n = store.recordCount();
    for (int i = 1; i <= n; ++i)
        all.append(readOperator(store, i));
    return all;
}

int administratorCount(const QList<Operator>& all) {
    int count = 0;
    for (const Operator& op : all)
        count += op.administrator ? 1 : 0;
    return count;
}

} // namespace quorvel::operators
