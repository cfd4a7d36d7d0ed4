#include "config/RunDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

#include <unistd.h>

namespace quorvel {

namespace {
QMutex& dirMutex() {
    static QMutex m;
    return m;
}
QString& overridden() {
    static QString path;
    return path;
}
// The folder chosen at the first use; the choice holds for the whole run.
QString& resolved() {
    static QString path;
    return path;
}

bool isWritableFolder(const QString& path) {
    // access() also reports a read-only mount to root, who ignores permission bits.
    return ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}
} // namespace

QString executableDirectory() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString userDataDirectory() {
    // The main program's AppDataLocation, whichever of the programs asks: the operator
    // program must find the same tables.
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString organisation = QCoreApplication::organizationName();
    if (!organisation.isEmpty())
        path += QLatin1Char('/') + organisation;
    return path + QStringLiteral("/quorvel");
}

QString runDirectory() {
    QMutexLocker lock(&dirMutex());
    if (!overridden().isEmpty())
        return overridden();
    if (resolved().isEmpty()) {
        const QString exe = executableDirectory();
        if (isWritableFolder(exe)) {
            resolved() = exe;
        } else {
            resolved() = userDataDirectory();
            QDir().mkpath(resolved());
        }
    }
    return resolved();
}

void setRunDirectory(const QString& path) {
    QMutexLocker lock(&dirMutex());
    overridden() = path;
}

QString runPath(const QString& name) {
    return runDirectory() + QLatin1Char('/') + name;
}

} // namespace quorvel
