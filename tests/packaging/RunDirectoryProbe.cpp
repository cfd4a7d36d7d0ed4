// Started by test_rundirectory from a copy in a folder of its choosing: reports where the
// program would keep its data and start its siblings from, and leaves a mark in the run
// directory.   quorvel-rundir-probe APPLICATION_NAME
// Output lines: run directory, main program, operator program, "found" or "new".
#include "config/Program.h"
#include "config/RunDirectory.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1)
        QCoreApplication::setApplicationName(QString::fromLocal8Bit(argv[1]));
    using namespace quorvel;
    const QString mark = runPath(QStringLiteral("probe-mark"));
    const bool found = QFile::exists(mark);
    QFile file(mark);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return 3;
    file.write(QCoreApplication::applicationName().toUtf8() + '\n');
    file.close();
    QTextStream out(stdout);
    out << runDirectory() << '\n'
        << program::siblingExecutable(program::kMainProgram) << '\n'
        << program::siblingExecutable(program::kUsersProgram) << '\n'
        << (found ? "found" : "new") << '\n';
    return 0;
}
