// Kills the crash worker (real add and swipe pages doing top-ups and charges) with SIGKILL at
// random moments, and after every kill reopens the member table and checks that it is sound,
// that every acknowledged operation is in it and that no operation is half there.
//
// QUORVEL_CRASH_CYCLES (default 200) sets the number of kills, QUORVEL_CRASH_SEED the plan and
// the kill moments (the default keeps runs repeatable).
#include "store/RecordStore.h"
#include "tests/reliability/CrashPlan.h"
#include "tests/support/Members.h"
#include "tests/support/TempRunDir.h"
#include "text/Numbers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <csignal>

using namespace quorvel;
using namespace quorvel::test;

namespace {

enum Pos { PVisits = 6, PBalance = 7, PPoints = 9, PSwipes = 11 };

// A kill comes after 0 to kMaxAcksBeforeKill acknowledgements, then at a random point of the
// next operation or so: the wait is drawn from 0 to 1.5 times the time an operation takes here,
// measured as the run goes (it differs tenfold between a plain and a sanitizer build).
constexpr int kMaxAcksBeforeKill = 3;

int acksIn(const QByteArray& out) {
    return int(out.count("\nACK "));
}

int envInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

QString numberText(qint64 v) { return QString::number(v); }

// A stored number must be the whole number the operations make, written without a fraction.
bool holds(const QString& stored, qint64 expected) {
    if (stored.isEmpty())
        return expected == 0;
    return stored == numberText(expected);
}

QString describe(const CrashMember& m) {
    return QStringLiteral("%1 %2: visits %3, balance %4, points %5, swipes %6")
        .arg(m.card, m.type)
        .arg(m.visits)
        .arg(m.balance)
        .arg(m.points)
        .arg(m.swipes);
}

QString describeStored(const QStringList& r) {
    return QStringLiteral("%1: visits '%2', balance '%3', points '%4', swipes '%5'")
        .arg(r.value(1), r.value(PVisits), r.value(PBalance), r.value(PPoints), r.value(PSwipes));
}

// What the applied operations put in and took out, per member.
struct Ledger {
    qint64 bought = 0; // visits (count card) or yuan (money card) topped up
    qint64 used = 0;   // visits or yuan charged
    qint64 paid = 0;   // yuan paid at top-ups: the points earned
    qint64 charges = 0;
};

struct Books {
    QList<CrashMember> members = crashMembers();
    QList<Ledger> ledger = QList<Ledger>(crashMembers().size());

    bool apply(const PlannedOp& op) {
        if (!applyPlanned(op, members))
            return false;
        Ledger& l = ledger[op.member];
        const bool countCard = members[op.member].type == QStringLiteral("次卡");
        if (op.kind == PlannedOp::TopUp) {
            l.bought += countCard ? op.visits : op.amount;
            l.paid += op.amount;
        } else {
            l.used += countCard ? 1 : op.amount;
            ++l.charges;
        }
        return true;
    }
};

// The stored figures against the books: left + used = there at the start + bought, the visit
// total grew by one per charge and the points by the money paid.
QString unbalanced(const QStringList& r, const CrashMember& start, const Ledger& l) {
    const bool countCard = start.type == QStringLiteral("次卡");
    const qint64 left = qint64(textToNumber(r.value(countCard ? PVisits : PBalance)));
    const qint64 swipes = qint64(textToNumber(r.value(PSwipes)));
    const qint64 points = qint64(textToNumber(r.value(PPoints)));
    const qint64 before = countCard ? start.visits : start.balance;
    if (left + l.used != before + l.bought)
        return QStringLiteral("%1: left %2 + used %3 != %4 + bought %5").arg(start.card).arg(left).arg(l.used).arg(before).arg(l.bought);
    if (swipes != start.swipes + l.charges)
        return QStringLiteral("%1: visit total %2 != %3 + %4 charges").arg(start.card).arg(swipes).arg(start.swipes).arg(l.charges);
    if (points != start.points + l.paid)
        return QStringLiteral("%1: points %2 != %3 + %4 paid").arg(start.card).arg(points).arg(start.points).arg(l.paid);
    return {};
}

bool matches(const QList<QStringList>& stored, const QList<CrashMember>& model) {
    if (stored.size() != model.size())
        return false;
    for (qsizetype i = 0; i < model.size(); ++i) {
        const QStringList& r = stored[i];
        const CrashMember& m = model[i];
        const bool countCard = m.type == QStringLiteral("次卡");
        if (r.value(1) != m.card || r.value(5) != m.type || !holds(r.value(PPoints), m.points) ||
            !holds(r.value(PSwipes), m.swipes))
            return false;
        // The other card kind's field is never written by a top-up or a charge.
        if (countCard ? !(holds(r.value(PVisits), m.visits) && r.value(PBalance).isEmpty())
                      : !(holds(r.value(PBalance), m.balance) && r.value(PVisits).isEmpty()))
            return false;
    }
    return true;
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMoments();
};

void TestCrashSafety::killedAtRandomMoments() {
    const int cycles = envInt("QUORVEL_CRASH_CYCLES", 200);
    const std::uint64_t seed = qEnvironmentVariableIsSet("QUORVEL_CRASH_SEED")
                                   ? qEnvironmentVariable("QUORVEL_CRASH_SEED").toULongLong()
                                   : 20261211ULL;
    TempRunDir dir;
    const QString table = dir.file(QStringLiteral("thy.dat"));
    const QList<CrashMember> initial = crashMembers();
    QList<MemberRow> rows;
    for (const CrashMember& m : initial) {
        MemberRow r;
        r.card = m.card;
        r.name = QStringLiteral("会员") + m.card;
        r.phone = QStringLiteral("139") + m.card;
        r.type = m.type;
        const bool countCard = m.type == QStringLiteral("次卡");
        r.visits = countCard ? numberText(m.visits) : QString();
        r.balance = countCard ? QString() : numberText(m.balance);
        r.points = numberText(m.points);
        r.swipes = m.swipes ? numberText(m.swipes) : QString();
        rows.append(r);
    }
    QVERIFY(makeMemberTable(table, rows));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Qt wants a private runtime folder; without one it warns at every start.
    QVERIFY(QDir().mkpath(dir.file(QStringLiteral("runtime"))));
    QFile::setPermissions(dir.file(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.file(QStringLiteral("runtime")));

    RecordStore& store = RecordStore::instance();
    Books books;
    qint64 next = 0; // the first operation not yet in the table
    qint64 acknowledged = 0, refusedAcks = 0, interruptedCommits = 0, committedUnacknowledged = 0;
    qint64 killsBeforeFirstOp = 0;
    double opTimeUs = 20000; // refined from the acknowledgements' pace
    int opSamples = 0;

    for (int cycle = 0; cycle < cycles; ++cycle) {
        QProcess worker;
        worker.setProgram(QStringLiteral(QUORVEL_CRASH_WORKER));
        worker.setArguments({dir.path(), QString::number(seed), QString::number(next)});
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        worker.setProcessEnvironment(environment);
        worker.start();
        QVERIFY2(worker.waitForStarted(30000), qPrintable(worker.errorString()));
        QByteArray out;
        while (!out.contains(QByteArray(kReadyLine) + '\n')) {
            QVERIFY2(worker.state() == QProcess::Running || worker.bytesAvailable() > 0,
                     qPrintable(QStringLiteral("worker ended before it was ready: ") + QString::fromUtf8(out)));
            worker.waitForReadyRead(1000);
            out += worker.readAllStandardOutput();
        }
        const std::uint64_t r = mix(seed ^ (0xC0FFEEULL + std::uint64_t(cycle)));
        const int waitAcks = int(r % (kMaxAcksBeforeKill + 1));
        QElapsedTimer sinceAck;
        sinceAck.start();
        while (acksIn(out) < waitAcks && worker.state() == QProcess::Running) {
            const int before = acksIn(out);
            worker.waitForReadyRead(1000);
            out += worker.readAllStandardOutput();
            const int now = acksIn(out);
            if (now > before) {
                // Mean time of an operation, from the gaps between acknowledgements.
                opTimeUs = (opTimeUs * opSamples + double(sinceAck.nsecsElapsed()) / 1000.0 / (now - before)) /
                           (opSamples + 1);
                ++opSamples;
                sinceAck.restart();
            }
        }
        QThread::usleep((unsigned long)(double((r >> 8) % 1000) / 1000.0 * 1.5 * opTimeUs));
        // A worker that already ended has no pid: kill(0, ...) would hit our own process group.
        // It ends by itself only to report an error, which the lines below show.
        if (const pid_t pid = pid_t(worker.processId()); pid > 0) {
            ::kill(pid, SIGKILL);
            QVERIFY(worker.waitForFinished(30000));
        }
        out += worker.readAllStandardOutput();

        // The acknowledgements, in plan order from `next`.
        qint64 acks = 0;
        for (const QByteArray& line : out.split('\n')) {
            if (line.isEmpty() || line == kReadyLine)
                continue;
            QVERIFY2(!line.startsWith("ERR"), line.constData());
            const bool applied = books.apply(plannedOp(seed, next + acks));
            QCOMPARE(line, ackLine(next + acks, applied));
            refusedAcks += applied ? 0 : 1;
            ++acks;
        }
        acknowledged += acks;
        next += acks;
        if (acks == 0)
            ++killsBeforeFirstOp;
        if (QFileInfo(table + QStringLiteral("-journal")).size() > 0)
            ++interruptedCommits;

        // Reopen as the program does at its next start: an interrupted commit is rolled back.
        store.closeAll();
        QVERIFY2(store.openTable(table, kTablePassword),
                 qPrintable(QStringLiteral("cycle %1: %2").arg(cycle).arg(store.lastError())));
        QString report;
        QVERIFY2(store.integrityCheck(&report), qPrintable(QStringLiteral("cycle %1: %2").arg(cycle).arg(report)));
        QList<QStringList> stored;
        for (int n = 1; n <= store.recordCount(); ++n) {
            QVERIFY(store.goToRecord(n));
            stored.append(store.readRecord());
        }
        store.closeAll();

        // Exactly the acknowledged operations, or those and the one in flight at the kill (its
        // commit can land before its acknowledgement is printed); nothing half there.
        if (!matches(stored, books.members)) {
            Books withInFlight = books;
            const bool applied = withInFlight.apply(plannedOp(seed, next));
            if (!matches(stored, withInFlight.members)) {
                QString why = QStringLiteral("cycle %1, %2 operations acknowledged:\n").arg(cycle).arg(next);
                for (qsizetype i = 0; i < stored.size(); ++i)
                    why += QStringLiteral("  stored %1\n  wanted %2\n")
                               .arg(describeStored(stored[i]), describe(books.members.value(i)));
                QFAIL(qPrintable(why));
            }
            books = withInFlight;
            refusedAcks += applied ? 0 : 1;
            ++next;
            ++committedUnacknowledged;
        }
        for (qsizetype i = 0; i < stored.size(); ++i) {
            const QString why = unbalanced(stored[i], initial[i], books.ledger[i]);
            QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("cycle %1: %2").arg(cycle).arg(why)));
        }
    }

    qInfo().noquote() << QStringLiteral("seed %1: %2 kills, %3 operations acknowledged (%4 refused by the rules), "
                                        "%5 operations verified in the table, %6 kills left an interrupted "
                                        "commit, %7 operations committed before their acknowledgement, %8 kills "
                                        "before the first operation")
                             .arg(seed)
                             .arg(cycles)
                             .arg(acknowledged)
                             .arg(refusedAcks)
                             .arg(next)
                             .arg(interruptedCommits)
                             .arg(committedUnacknowledged)
                             .arg(killsBeforeFirstOp);
    qInfo("one operation took %.1f ms on average here", opTimeUs / 1000.0);
    for (qsizetype i = 0; i < initial.size(); ++i) {
        const CrashMember& a = initial[i];
        const CrashMember& b = books.members[i];
        const Ledger& l = books.ledger[i];
        const bool countCard = a.type == QStringLiteral("次卡");
        qInfo().noquote() << QStringLiteral("  %1 %2: %3 %4 + %5 bought - %6 used = %7 left; visit total %8 + %9 = %10; "
                                            "points %11 + %12 paid = %13")
                                 .arg(a.card, a.type, countCard ? QStringLiteral("visits") : QStringLiteral("yuan"))
                                 .arg(countCard ? a.visits : a.balance)
                                 .arg(l.bought)
                                 .arg(l.used)
                                 .arg(countCard ? b.visits : b.balance)
                                 .arg(a.swipes)
                                 .arg(l.charges)
                                 .arg(b.swipes)
                                 .arg(a.points)
                                 .arg(l.paid)
                                 .arg(b.points);
    }
    // A run that never caught an operation part-way would prove little.
    QVERIFY2(interruptedCommits + committedUnacknowledged > 0,
             "no kill landed inside an operation; raise QUORVEL_CRASH_CYCLES");
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "TestCrashSafety.moc"
