#include "members/MemberTable.h"

#include "config/Dialogs.h"
#include "config/Program.h"
#include "config/RunDirectory.h"

#include <QFile>
#include <QThreadPool>

namespace quorvel::members {

QString memberTablePath() {
    return runPath(kMemberTableFile);
}

QList<FieldDef> memberFields() {
    QList<FieldDef> fields;
    for (const QString& name : {kFieldId, kFieldCard, kFieldName, kFieldGender, kFieldPhone, kFieldType,
                                kFieldVisits, kFieldBalance, kFieldOperator, kFieldPoints, kFieldSignUp,
                                kFieldSwipes})
        fields.append(FieldDef{name, TextField, kFieldLength});
    return fields;
}

OpenResult openMemberTableQuietly() {
    const QString path = memberTablePath();
    if (!QFile::exists(path))
        return OpenResult::Missing;
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    // The usual case, open and current, without cleaning up the path first (every swipe asks).
    if (store.currentFile().compare(path, Qt::CaseInsensitive) == 0)
        return OpenResult::Ready;
    if (store.isOpen(path)) {
        if (store.currentFile().compare(path, Qt::CaseInsensitive) == 0)
            return OpenResult::Ready;
        // Open but not current (left open beside a just-opened operator table): start afresh.
        store.closeAll();
    }
    // The operator table has the same password: only a file with the member fields will do.
    return store.openReplacingCurrent(path, kTablePassword, memberFields()) ? OpenResult::Ready
                                                                            : OpenResult::Damaged;
}

void checkMemberTableAhead() {
    const QString path = memberTablePath();
    if (!QFile::exists(path))
        return;
    QThreadPool::globalInstance()->start([path] { RecordStore::instance().verifyFile(path, kTablePassword); });
}

QString openFailureText(OpenResult result) {
    switch (result) {
    case OpenResult::Missing:
        return kTableMissing;
    case OpenResult::Damaged:
        return kTableDamaged;
    case OpenResult::Ready:
        break;
    }
    return {};
}

bool openMemberTable(QWidget* parent) {
    const OpenResult result = openMemberTableQuietly();
    if (result == OpenResult::Ready)
        return true;
    showMessage(parent, openFailureText(result));
    return false;
}

CreateOutcome createMemberTable(QWidget* parent) {
    RecordStore& store = RecordStore::instance();
    const QString path = memberTablePath();
    if (QFile::exists(path)) {
        store.openTable(path, kTablePassword, memberFields());
        return CreateOutcome::AlreadyExisted;
    }
    if (!store.createTable(path, memberFields())) {
        store.closeAll();
        return CreateOutcome::ProgramEnds;
    }
    bool protectedOk = false;
    if (store.isEncrypted(path)) {
        protectedOk = store.openTable(path, kTablePassword);
    } else if (store.openTable(path)) {
        if (store.setPassword(kTablePassword)) {
            store.openTable(path, kTablePassword);
            protectedOk = true;
        }
    }
    store.closeAll();
    if (!protectedOk) {
        // An unprotected table would never open again: remove it, and do not report success.
        QFile::remove(path);
        return CreateOutcome::ProgramEnds;
    }
    if (askOkCancel(parent,
                    QStringLiteral("软件数据初始化成功\r\n重新启动生效\r\n自动重启点击【确定】否则点击【取消】"),
                    MessageIcon::Question))
        program::startDetached(program::siblingExecutable(program::kMainProgram));
    store.closeAll();
    return CreateOutcome::ProgramEnds;
}

namespace {
QStringList cells(const RecordStore& store, const QString& column8) {
    return {store.readField(kFieldCard),    store.readField(kFieldName),   store.readField(kFieldGender),
            store.readField(kFieldPhone),   store.readField(kFieldType),   store.readField(kFieldVisits),
            store.readField(kFieldBalance), store.readField(column8),      store.readField(kFieldPoints),
            store.readField(kFieldSignUp)};
}
} // namespace

QStringList addListCells(const RecordStore& store) {
    return cells(store, kFieldOperator);
}

QStringList swipeListCells(const RecordStore& store) {
    return cells(store, kFieldSwipes);
}

} // namespace quorvel::members
