#pragma once
// A fresh temporary folder per test, removed afterwards.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace quorvel::test {

class TempRunDir {
public:
    TempRunDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

} // namespace quorvel::test
