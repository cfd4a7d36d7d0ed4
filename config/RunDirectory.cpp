#include "config/RunDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>

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
} // namespace

QString executableDirectory() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString runDirectory() {
    QMutexLocker lock(&dirMutex());
    if (!overridden().isEmpty())
        return overridden();
    return executableDirectory();
}

void setRunDirectory(const QString& path) {
    QMutexLocker lock(&dirMutex());
    overridden() = path;
}

QString runPath(const QString& name) {
    return runDirectory() + QLatin1Char('/') + name;
}

} // namespace quorvel
