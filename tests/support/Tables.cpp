#include "tests/support/Tables.h"

#include "store/RecordStore.h"

namespace quorvel::test {

bool makeOperatorTable(const QString& path, const QList<OperatorRow>& rows) {
    RecordStore& store = RecordStore::instance();
    store.closeAll();
    QList<FieldDef> fields = {{QStringLiteral("ID"), TextField, 50},
                              {QStringLiteral("管理员名称"), TextField, 50},
                              {QStringLiteral("管理员密码"), TextField, 50},
                              {QStringLiteral("管理员权限"), LogicalField, 20}};
    if (!store.createTable(path, fields) || !store.openTable(path) || !store.setPassword(kTablePassword))
        return false;
    for (const OperatorRow& r : rows) {
        if (!store.addBlankRecord() || !store.writeField(QStringLiteral("管理员名称"), r.name) ||
            !store.writeField(QStringLiteral("管理员密码"), r.password) ||
            !store.writeFlag(QStringLiteral("管理员权限"), r.administrator))
            return false;
    }
    store.closeAll();
    return true;
}

} // namespace quorvel::test
