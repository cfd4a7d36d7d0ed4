#include "tests/packaging/Installed.h"

#include <QProcess>

namespace quorvel::test {

CommandResult runCommand(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    CommandResult r;
    r.finished =
        p.waitForStarted(timeoutMs) && p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QStringList installedPrograms() {
    QStringList programs = {QStringLiteral("quorvel"), QStringLiteral("quorvel-users")};
    if (QUORVEL_HAS_BENCH)
        programs.append(QStringLiteral("quorvel-bench"));
    return programs;
}

QList<int> iconSizes() {
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QMap<QString, QString> desktopEntry(const QByteArray& text) {
    QMap<QString, QString> entry;
    bool inGroup = false;
    for (const QString& raw : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0)
            entry.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return entry;
}

} // namespace quorvel::test
