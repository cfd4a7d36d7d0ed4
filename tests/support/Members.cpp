#include "tests/support/Members.h"

#include "store/RecordStore.h"

namespace quorvel::test {

namespace {

const QStringList kFields = {"ID",   "会员卡号", "会员姓名", "性别",     "会员通讯", "会员类型",
                             "充值次数", "充值金额", "操作员",   "累计积分", "注册时间", "刷卡次数"};

bool openCurrent(RecordStore& store, const QString& path) {
    if (store.isOpen(path) && store.currentFile().compare(path, Qt::CaseInsensitive) == 0)
        return true;
    store.closeAll();
    return store.openTable(path, kTablePassword);
}

} // namespace

bool makeMemberTable(const QString& path, const QList<MemberRow>& rows) {
    RecordStore& store = RecordStore::instance();
    store.closeAll();
    QList<FieldDef> fields;
    for (const QString& name : kFields)
        fields.append(FieldDef{name, TextField, 30});
    if (!store.createTable(path, fields) || !store.openTable(path) || !store.setPassword(kTablePassword))
        return false;
    {
        // One transaction: a table of thousands of members is built in a moment.
        RecordStore::Transaction transaction(store);
        for (const MemberRow& r : rows) {
            const QStringList values = {"0",       r.card,         r.name,     r.gender, r.phone,  r.type,
                                        r.visits,  r.balance,      r.operatorName, r.points, r.signUp, r.swipes};
            if (!store.addBlankRecord())
                return false;
            for (int i = 0; i < kFields.size(); ++i)
                if (!values[i].isEmpty() && !store.writeField(kFields[i], values[i]))
                    return false;
        }
        if (!transaction.commit())
            return false;
    }
    store.closeAll();
    return true;
}

QList<MemberRow> numberedMembers(int n, int first) {
    QList<MemberRow> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString card = QString::number(first + i);
        MemberRow r;
        r.card = card;
        r.name = QStringLiteral("会员") + card;
        r.phone = QStringLiteral("139") + card;
        r.points = QString::number(i);
        rows.append(r);
    }
    return rows;
}

QStringList readMember(const QString& path, int record) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (!openCurrent(store, path) || !store.goToRecord(record))
        return {};
    return store.readRecord();
}

int memberCount(const QString& path) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (!openCurrent(store, path))
        return -1;
    return store.recordCount();
}

} // namespace quorvel::test
