#include "tests/update/FtpTestServer.h"

#include "tests/support/TempRunDir.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

namespace quorvel::test {

namespace {

QString serverScript() {
    const QString source = qEnvironmentVariable("QUORVEL_SOURCE_DIR");
    if (!source.isEmpty())
        return source + QStringLiteral("/tests/update/ftp_server.py");
    return QStringLiteral(QUORVEL_FTP_SERVER_SCRIPT);
}

} // namespace

FtpTestServer::~FtpTestServer() {
    stop();
}

bool FtpTestServer::start(const QString& root, const QString& workDir, const FtpServerOptions& options) {
    stop();
    const QString portFile = workDir + QStringLiteral("/ftp-port");
    m_log = workDir + QStringLiteral("/ftp-commands.log");
    QFile::remove(portFile);
    QFile::remove(m_log);

    QStringList args{serverScript(), QStringLiteral("--root"),        root,   QStringLiteral("--port-file"),
                     portFile,       QStringLiteral("--user"),        user(), QStringLiteral("--password"),
                     password(),     QStringLiteral("--command-log"), m_log};
    if (!options.mlsd)
        args << QStringLiteral("--no-mlsd");
    if (!options.stubDir.isEmpty()) {
        const QString list = workDir + QStringLiteral("/stub-list");
        const QString mlsd = workDir + QStringLiteral("/stub-mlsd");
        if (!writeBytes(list, options.stubList) || !writeBytes(mlsd, options.stubMlsd)) {
            m_error = QStringLiteral("cannot write stub files");
            return false;
        }
        args << QStringLiteral("--stub-dir") << options.stubDir << QStringLiteral("--stub-list") << list
             << QStringLiteral("--stub-mlsd") << mlsd;
        if (options.stubRecursive)
            args << QStringLiteral("--stub-recursive");
    }
    if (options.failRetr > 0)
        args << QStringLiteral("--fail-retr") << QString::number(options.failRetr);
    if (!options.gateFile.isEmpty())
        args << QStringLiteral("--gate-file") << options.gateFile << QStringLiteral("--gate-after")
             << QString::number(options.gateAfter);
    if (!options.endlessFile.isEmpty())
        args << QStringLiteral("--endless-file") << options.endlessFile;
    if (!options.trickleFile.isEmpty())
        args << QStringLiteral("--trickle-file") << options.trickleFile << QStringLiteral("--trickle-seconds")
             << QString::number(options.trickleSeconds);
    if (!options.dropFile.isEmpty())
        args << QStringLiteral("--drop-file") << options.dropFile << QStringLiteral("--drop-after")
             << QString::number(options.dropAfter);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Names on disk are UTF-8 whatever locale the test runs in.
    env.insert(QStringLiteral("PYTHONUTF8"), QStringLiteral("1"));
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    // stdin stays an open pipe: the server quits when it closes, also if this process dies.
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("python3 did not start: ") + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("ftp server exited with code %1").arg(m_process.exitCode());
            return false;
        }
        if (QFileInfo::exists(portFile)) {
            bool ok = false;
            m_port = readBytes(portFile).trimmed().toInt(&ok);
            if (ok && m_port > 0)
                return true;
        }
        QThread::msleep(20);
    }
    m_error = QStringLiteral("ftp server did not report its port");
    stop();
    return false;
}

void FtpTestServer::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_port = 0;
}

QStringList FtpTestServer::commands() const {
    const QString text = QString::fromUtf8(readBytes(m_log));
    return text.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace quorvel::test
