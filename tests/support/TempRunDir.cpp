#include "tests/support/TempRunDir.h"

#include <QDir>
#include <QFile>

namespace quorvel::test {

TempRunDir::TempRunDir() : m_dir(QDir::tempPath() + QStringLiteral("/quorvel-test-XXXXXX")) {}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

} // namespace quorvel::test
