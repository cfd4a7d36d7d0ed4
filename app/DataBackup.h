#pragma once
// "备份数据" and "恢复数据" on the settings page: a consistent copy of the operator table, the
// member table, the member history and the settings file in a dated folder, and the way back
// from such a folder. Both need the administrator right, checked in the operator table.
#include <QString>
#include <QStringList>

class QWidget;

namespace quorvel::backup {

// The run directory's files a backup holds (those that exist), by name.
QStringList backedUpFiles();

// The logged-in operator's own record (the first of that name, as the login reads it) holds
// the administrator right.
bool loggedInOperatorIsAdministrator();

// Copies the files into a new folder under parent named by the time, while the program may hold
// the tables open: the store's lock is held across all the copies, so no operation commits
// between two of them, and each table is read under one read lock of the engine. The folder
// appears under its final name only once complete. *made receives its path.
bool backUp(const QString& parent, QString* made);

// A backup folder: the operator table is there and every table file in it opens with the
// tables' password and holds its own table's fields.
bool isBackup(const QString& folder);

// Replaces the run directory's files with the folder's (a file the backup does not hold is
// removed): every table is closed, the files are first copied beside their final names, then
// each current file is moved to "<name>.bak" and the copy takes its place. A failure at any
// step puts the current files back.
bool restore(const QString& folder);

// The two buttons, with their questions and messages. restoreData's true means the data was
// replaced and the program must start again.
void backUpData(QWidget* parent);
bool restoreData(QWidget* parent);

inline const QString kNoRightText = QStringLiteral("该管理员没有管理员权限，不能备份或恢复数据");
inline const QString kBackupDoneText = QStringLiteral("数据备份完成：\r\n%1");
inline const QString kBackupFailedText = QStringLiteral("数据备份失败，请检查所选文件夹是否可以写入");
inline const QString kNotABackupText = QStringLiteral("所选文件夹不是有效的数据备份");
inline const QString kRestoreQuestion =
    QStringLiteral("恢复数据将用所选备份替换现有的全部数据\r\n现有数据文件改名为 .bak "
                   "保留\r\n\r\n恢复后软件自动重新启动，确定恢复吗？");
inline const QString kRestoreFailedText = QStringLiteral("数据恢复失败，现有数据未改变");
inline const QString kRestoreDoneText = QStringLiteral("数据恢复完成，软件将重新启动");

} // namespace quorvel::backup
