// Where the program keeps its data: in its own folder while that folder can be written (the
// portable folder), in the user's data folder otherwise (the installed program). A probe
// program is copied into a folder and started from there, as the real program would be.
#include "tests/support/TempRunDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

using namespace quorvel::test;

namespace {

const QString kProbe = QStringLiteral(QUORVEL_RUNDIR_PROBE);
// A skip, not a failure: the machine cannot make a folder read-only for root.
constexpr int kNoReadOnlyMount = 77;

struct Run {
    bool started = false;
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

// The probe as the program is laid out: its own folder, and a home whose data folder does not
// exist yet.
struct Layout {
    TempRunDir base;
    QString programs = base.file(QStringLiteral("程序 目录"));
    QString home = base.file(QStringLiteral("home"));
    QString dataHome = home + QStringLiteral("/.local/share");
    QString probe = programs + QStringLiteral("/quorvel-rundir-probe");

    bool prepare() const {
        return QDir().mkpath(programs) && QDir().mkpath(home) && QFile::copy(kProbe, probe) &&
               QFile::setPermissions(probe, QFile::permissions(kProbe));
    }
};

Run start(const Layout& layout, const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), layout.home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), layout.dataHome);
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run run;
    run.started = p.waitForStarted(30000) && p.waitForFinished(30000);
    run.exitCode = p.exitCode();
    run.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromLocal8Bit(p.readAllStandardError());
    return run;
}

// Starts the probe while its folder is read-only. Root ignores permission bits, so for root the
// folder is bind-mounted read-only onto itself in a private mount namespace, gone with the
// process; anyone else loses the folder's write bits for the run.
Run startReadOnly(const Layout& layout, const QString& appName) {
    if (geteuid() != 0) {
        const QFile::Permissions before = QFile::permissions(layout.programs);
        QFile::setPermissions(layout.programs, before & ~(QFile::WriteOwner | QFile::WriteGroup |
                                                          QFile::WriteOther | QFile::WriteUser));
        Run run = start(layout, layout.probe, {appName});
        QFile::setPermissions(layout.programs, before);
        return run;
    }
    const QString script = QStringLiteral("dir=$1; shift; mount --bind \"$dir\" \"$dir\" && mount -o "
                                          "remount,ro,bind \"$dir\" || exit %1; exec \"$@\"")
                               .arg(kNoReadOnlyMount);
    return start(layout, QStringLiteral("unshare"),
                 {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                  QStringLiteral("sh"), layout.programs, layout.probe, appName});
}

} // namespace

class TestRunDirectory : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY2(QFile::exists(kProbe), qPrintable(kProbe)); }
    void chosenFolder_data();
    void chosenFolder();
    void programsShareTheDataFolder();
};

void TestRunDirectory::chosenFolder_data() {
    QTest::addColumn<QString>("appName");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("portable folder") << "quorvel" << false;
    QTest::newRow("portable folder, operator program") << "quorvel-users" << false;
    QTest::newRow("read-only folder") << "quorvel" << true;
    QTest::newRow("read-only folder, operator program") << "quorvel-users" << true;
}

void TestRunDirectory::chosenFolder() {
    QFETCH(QString, appName);
    QFETCH(bool, readOnly);
    Layout layout;
    QVERIFY(layout.prepare());

    const Run run = readOnly ? startReadOnly(layout, appName) : start(layout, layout.probe, {appName});
    if (run.exitCode == kNoReadOnlyMount)
        QSKIP("this machine cannot mount a folder read-only");
    QVERIFY2(run.started && run.exitCode == 0, qPrintable(run.errors));
    QCOMPARE(run.lines.size(), 4);

    const QString dataFolder = layout.dataHome + QStringLiteral("/quorvel");
    QCOMPARE(run.lines[0], readOnly ? dataFolder : layout.programs);
    // The relaunch and the operator program are started from the executable's folder either way.
    QCOMPARE(run.lines[1], layout.programs + QStringLiteral("/quorvel"));
    QCOMPARE(run.lines[2], layout.programs + QStringLiteral("/quorvel-users"));
    QCOMPARE(run.lines[3], QStringLiteral("new"));
    QVERIFY(QFile::exists(run.lines[0] + QStringLiteral("/probe-mark")));
    if (readOnly)
        QVERIFY(!QFile::exists(layout.programs + QStringLiteral("/probe-mark")));
    else
        QVERIFY2(!QDir(layout.dataHome).exists(), "the portable folder needs no data folder");
}

void TestRunDirectory::programsShareTheDataFolder() {
    Layout layout;
    QVERIFY(layout.prepare());
    const Run main = startReadOnly(layout, QStringLiteral("quorvel"));
    if (main.exitCode == kNoReadOnlyMount)
        QSKIP("this machine cannot mount a folder read-only");
    QVERIFY2(main.started && main.exitCode == 0, qPrintable(main.errors));
    const Run users = startReadOnly(layout, QStringLiteral("quorvel-users"));
    QVERIFY2(users.started && users.exitCode == 0, qPrintable(users.errors));
    QCOMPARE(users.lines.value(0), main.lines.value(0));
    // The operator program finds what the main program left there.
    QCOMPARE(users.lines.value(3), QStringLiteral("found"));
    QCOMPARE(readBytes(main.lines.value(0) + QStringLiteral("/probe-mark")),
             QByteArray("quorvel\nquorvel-users\n"));
}

QTEST_GUILESS_MAIN(TestRunDirectory)
#include "TestRunDirectory.moc"
