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

} // namespace quorvel::operators
