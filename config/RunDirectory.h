#pragma once
#include <QString>

namespace quorvel {

// The folder the program keeps its data in: the executable's folder when it can be written
// (the portable folder), otherwise userDataDirectory(), created at the first use; unless set
// otherwise (tests point it at a temporary folder).
QString runDirectory();
void setRunDirectory(const QString& path);
// runDirectory() joined with a relative name such as "thy.dat".
QString runPath(const QString& name);
// The user's data folder of the installed program (~/.local/share/quorvel), the same for the
// main program and the operator program.
QString userDataDirectory();
// Folder of the executable itself: the relaunch and the sibling programs start from here.
QString executableDirectory();

inline const QString kOperatorTableFile = QStringLiteral("gly.dat");
inline const QString kMemberTableFile = QStringLiteral("thy.dat");
inline const QString kConfigFileName = QStringLiteral("配置文件.ini");

} // namespace quorvel
