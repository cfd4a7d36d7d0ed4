#include "app/DataBackup.h"

#include "app/OperatorTable.h"
#include "config/ConfigFile.h"
#include "config/Dialogs.h"
#include "config/RunDirectory.h"
#include "members/History.h"
#include "members/MemberConfirmation.h"
#include "members/MemberTable.h"
#include "members/Session.h"
#include "store/RecordStore.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace quorvel::backup {

namespace {

const QString kFolderPrefix = QStringLiteral("会员数据备份_");
const QString kPartSuffix = QStringLiteral(".part");
const QString kRestoreSuffix = QStringLiteral(".restore-tmp");
const QString kBakSuffix = QStringLiteral(".bak");
const QString kJournalSuffix = QStringLiteral("-journal");

// The table files and the fields each must hold; the settings file is copied as it is.
struct TableFile {
    QString name;
    QList<FieldDef> fields;
};
QList<TableFile> tableFiles() {
    return {{kOperatorTableFile, operators::fieldList()},
            {kMemberTableFile, members::memberFields()},
            {members::history::kHistoryFile, members::history::historyFields()}};
}

bool flush(const QString& path, bool directory = false) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// A plain copy, flushed to the disk before it counts.
bool copyFlushed(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to) && flush(to);
}

QString freeFolderName(const QDir& parent) {
    const QString stem =
        kFolderPrefix + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    QString name = stem;
    for (int n = 2; parent.exists(name) || parent.exists(name + kPartSuffix); ++n)
        name = stem + QStringLiteral("_%1").arg(n);
    return name;
}

} // namespace

QStringList backedUpFiles() {
    QStringList names;
    for (const TableFile& t : tableFiles())
        names.append(t.name);
    names.append(kConfigFileName);
    return names;
}

bool loggedInOperatorIsAdministrator() {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (members::openOperatorTableQuietly() != members::OpenResult::Ready)
        return false;
    const QString me = loggedInOperator();
    for (const operators::Operator& op : operators::readAll(store))
        if (op.name == me)
            return op.administrator;
    return false;
}

bool backUp(const QString& parent, QString* made) {
    const QDir parentDir(parent);
    if (parent.isEmpty() || !parentDir.exists())
        return false;
    const QString name = freeFolderName(parentDir);
    const QString part = parentDir.filePath(name + kPartSuffix);
    if (!QDir().mkdir(part))
        return false;
    bool ok = true;
    {
        RecordStore& store = RecordStore::instance();
        RecordStore::Lock lock(store);
        for (const TableFile& t : tableFiles()) {
            const QString source = runPath(t.name);
            if (ok && QFile::exists(source))
                ok = store.copyTableFile(source, QDir(part).filePath(t.name), kTablePassword);
        }
        const QString settings = runPath(kConfigFileName);
        if (ok && QFile::exists(settings))
            ok = copyFlushed(settings, QDir(part).filePath(kConfigFileName));
    }
    const QString folder = parentDir.filePath(name);
    ok = ok && flush(part, true) && QDir().rename(part, folder) && flush(parent, true);
    if (!ok) {
        QDir(part).removeRecursively();
        return false;
    }
    if (made)
        *made = folder;
    return true;
}

bool isBackup(const QString& folder) {
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists(kOperatorTableFile))
        return false;
    for (const TableFile& t : tableFiles()) {
        const QString path = dir.filePath(t.name);
        if (!QFile::exists(path))
            continue;
        // A store of its own: the program's tables stay as they are.
        RecordStore probe;
        if (!probe.openTable(path, kTablePassword, t.fields))
            return false;
    }
    return true;
}

bool restore(const QString& folder) {
    const QDir from(folder);
    const QStringList names = backedUpFiles();
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    store.closeAll();

    // First every file beside its final name; nothing current is touched yet.
    bool ok = true;
    for (const QString& name : names) {
        const QString source = from.filePath(name);
        if (ok && QFile::exists(source))
            ok = copyFlushed(source, runPath(name + kRestoreSuffix));
    }
    if (!ok) {
        for (const QString& name : names)
            QFile::remove(runPath(name + kRestoreSuffix));
        return false;
    }

    // Then, file by file, the current one aside and the copy in its place.
    QStringList swapped;
    auto putBack = [&] {
        for (const QString& name : swapped) {
            QFile::remove(runPath(name));
            QFile::rename(runPath(name + kBakSuffix), runPath(name));
            QFile::rename(runPath(name + kBakSuffix + kJournalSuffix), runPath(name + kJournalSuffix));
        }
        for (const QString& name : names)
            QFile::remove(runPath(name + kRestoreSuffix));
    };
    for (const QString& name : names) {
        const QString current = runPath(name);
        const QString bak = runPath(name + kBakSuffix);
        QFile::remove(bak);
        QFile::remove(bak + kJournalSuffix);
        if (QFile::exists(current) && !QFile::rename(current, bak)) {
            putBack();
            return false;
        }
        swapped.append(name);
        // A journal left beside the current file belongs to it, never to the restored one.
        if (QFile::exists(current + kJournalSuffix) &&
            !QFile::rename(current + kJournalSuffix, bak + kJournalSuffix)) {
            putBack();
            return false;
        }
        const QString copy = runPath(name + kRestoreSuffix);
        if (QFile::exists(copy) && !QFile::rename(copy, current)) {
            putBack();
            return false;
        }
    }
    flush(runDirectory(), true);
    return true;
}

void backUpData(QWidget* parent) {
    if (!loggedInOperatorIsAdministrator()) {
        showMessage(parent, kNoRightText, MessageIcon::Error);
        return;
    }
    QString chosen;
    if (!platformDialogs().chooseFolder(parent, QStringLiteral("选择存放备份的文件夹"), QDir::homePath(),
                                        &chosen))
        return;
    QString made;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = backUp(chosen, &made);
    QApplication::restoreOverrideCursor();
    if (!done) {
        showMessage(parent, kBackupFailedText, MessageIcon::Error);
        return;
    }
    showMessage(parent, kBackupDoneText.arg(QDir::toNativeSeparators(made)), MessageIcon::Information);
}

bool restoreData(QWidget* parent) {
    if (!loggedInOperatorIsAdministrator()) {
        showMessage(parent, kNoRightText, MessageIcon::Error);
        return false;
    }
    QString chosen;
    if (!platformDialogs().chooseFolder(parent, QStringLiteral("选择要恢复的备份文件夹"), QDir::homePath(),
                                        &chosen))
        return false;
    if (!isBackup(chosen)) {
        showMessage(parent, kNotABackupText, MessageIcon::Error);
        return false;
    }
    if (!askOkCancel(parent, kRestoreQuestion, MessageIcon::Warning))
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = restore(chosen);
    QApplication::restoreOverrideCursor();
    if (!done) {
        showMessage(parent, kRestoreFailedText, MessageIcon::Error);
        return false;
    }
    showMessage(parent, kRestoreDoneText, MessageIcon::Information);
    return true;
}

} // namespace quorvel::backup
