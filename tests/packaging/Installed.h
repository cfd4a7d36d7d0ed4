#pragma once
// What an installation of the program holds, and running the tools that make one.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace quorvel::test {

struct CommandResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool ok() const { return finished && exitCode == 0; }
};
CommandResult runCommand(const QString& program, const QStringList& args, int timeoutMs = 90000);

// The programs installed beside each other in bin/; the benchmark only when this build has it.
QStringList installedPrograms();
// The hicolor sizes the application icon is installed in.
QList<int> iconSizes();

// The [Desktop Entry] group of a .desktop file: key (with its [locale]) to value.
QMap<QString, QString> desktopEntry(const QByteArray& text);

} // namespace quorvel::test
