#include "config/Program.h"

#include "config/RunDirectory.h"

#include <QProcess>

namespace quorvel::program {

namespace {
std::function<bool(const QString&)>& starter() {
    static std::function<bool(const QString&)> s;
    return s;
}
} // namespace

bool startDetached(const QString& path) {
    if (starter())
        return starter()(path);
    return QProcess::startDetached(path, {}, runDirectory());
}

void setStarterForTesting(std::function<bool(const QString&)> s) {
    starter() = std::move(s);
}

QString siblingExecutable(const QString& name) {
    return executableDirectory() + QLatin1Char('/') + name;
}

} // namespace quorvel::program
