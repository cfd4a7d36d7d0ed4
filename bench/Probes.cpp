#include "bench/Probes.h"

#include "bench/BenchData.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/ListLoader.h"
#include "members/MemberListModel.h"
#include "members/MemberTable.h"
#include "members/MemberWorker.h"
#include "store/RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace quorvel::bench {

namespace {

double statusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray k(key);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(k))
            return line.mid(k.size()).trimmed().split(' ').value(0).toDouble();
    return -1;
}

qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int runMemoryProbe(const QString& runDir) {
    setRunDirectory(runDir);
    if (members::openMemberTableQuietly() != members::OpenResult::Ready) {
        std::printf("memory-probe error=open\n");
        return 1;
    }
    const int n = RecordStore::instance().recordCount();
    double seconds = 0;
    double before = 0;
    int rows = 0;
    {
        AddPage page;
        page.show();
        QCoreApplication::processEvents();
        before = statusKb("VmRSS:");
        MemberListModel* list = page.memberList();
        QEventLoop loop;
        QObject::connect(list, &QAbstractItemModel::rowsInserted, [&] {
            if (list->rowCount() >= n)
                loop.quit();
        });
        QTimer::singleShot(1800000, &loop, &QEventLoop::quit);
        const auto t0 = std::chrono::steady_clock::now();
        page.restartListLoad();
        if (list->rowCount() < n)
            loop.exec();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // Let the view lay out and paint what it shows.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        rows = list->rowCount();
        page.endListLoad();
    }
    std::printf("memory-probe rows=%d load_s=%.6f before_kb=%.0f hwm_kb=%.0f\n", rows, seconds, before,
                statusKb("VmHWM:"));
    std::fflush(stdout);
    RecordStore::instance().closeAll();
    return rows == n ? 0 : 1;
}

MemoryResult measureMemory(const QString& runDir, int n) {
    MemoryResult r;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory-probe=") + runDir});
    if (!child.waitForFinished(1800000)) {
        child.kill();
        child.waitForFinished();
        r.error = QStringLiteral("the probe did not finish");
        return r;
    }
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QRegularExpression re(
        QStringLiteral("memory-probe rows=(\\d+) load_s=([0-9.]+) before_kb=([0-9.]+) hwm_kb=([0-9.]+)"));
    const QRegularExpressionMatch m = re.match(out);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !m.hasMatch() ||
        m.captured(1).toInt() != n) {
        r.error = QStringLiteral("the probe failed (exit %1): %2").arg(child.exitCode()).arg(out.trimmed());
        return r;
    }
    r.ok = true;
    r.loadSeconds = m.captured(2).toDouble();
    r.beforeKb = m.captured(3).toDouble();
    r.peakKb = m.captured(4).toDouble();
    return r;
}

StartupResult measureStartup(const QString& dir, int runs) {
    StartupResult r;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvel");
    const QString copy = dir + QStringLiteral("/quorvel");
    // The program keeps its data beside itself: a copy of it, with an operator table, in a
    // folder of its own.
    if (!QDir().mkpath(dir) || (!QFile::exists(copy) && !QFile::copy(program, copy)) ||
        (!QFile::exists(dir + QStringLiteral("/gly.dat")) && !makeOperatorTable(dir + QStringLiteral("/gly.dat")))) {
        r.error = QStringLiteral("cannot prepare %1 from %2").arg(dir, program);
        return r;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 t0 = monotonicNs();
        child.start(copy, {QStringLiteral("--measure-startup")});
        if (!child.waitForFinished(60000)) {
            child.kill();
            child.waitForFinished();
            r.error = QStringLiteral("quorvel --measure-startup did not end");
            return r;
        }
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("login-window-shown-at-ns (\\d+)")).match(out);
        if (!m.hasMatch()) {
            r.error = QStringLiteral("quorvel --measure-startup printed: %1").arg(out.trimmed());
            return r;
        }
        times.push_back((m.captured(1).toLongLong() - t0) / 1e9);
    }
    r.ok = !times.empty();
    r.runs = int(times.size());
    if (r.ok) {
        r.firstSeconds = times.front();
        std::sort(times.begin(), times.end());
        r.medianSeconds = times[times.size() / 2];
    }
    return r;
}

} // namespace quorvel::bench
