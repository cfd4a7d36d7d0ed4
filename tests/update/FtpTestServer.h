#pragma once
// A real FTP server (tests/update/ftp_server.py) on 127.0.0.1, speaking GBK like the update server.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace quorvel::test {

struct FtpServerOptions {
    bool mlsd = true; // false: the server offers LIST only
    // LIST/MLSD of stubDir (an FTP path) answer with these raw lines instead of the real folder.
    QString stubDir;
    QByteArray stubList;
    QByteArray stubMlsd;
    bool stubRecursive = false; // every folder below stubDir answers the same
    int failRetr = 0; // the first failRetr downloads are refused with 550
    // When set, a download sends gateAfter bytes and then stalls until this file exists.
    QString gateFile;
    int gateAfter = 16;
    // Hostile downloads of a file of that name (the file must exist to be listed): bytes without
    // end; one byte every trickleSeconds; dropAfter bytes and then the whole connection dropped.
    QString endlessFile;
    QString trickleFile;
    double trickleSeconds = 10;
    QString dropFile;
    int dropAfter = 16;
};

class FtpTestServer {
  public:
    static QString user() { return QStringLiteral("updater"); }
    static QString password() { return QStringLiteral("s3cret"); }

    FtpTestServer() = default;
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Serves root; workDir holds the port file, stub files and the command log.
    bool start(const QString& root, const QString& workDir, const FtpServerOptions& options = {});
    void stop();
    int port() const { return m_port; }
    QString error() const { return m_error; }

    // Every command line the server has received so far, oldest first ("PASS" hidden).
    QStringList commands() const;

  private:
    QProcess m_process;
    int m_port = 0;
    QString m_log;
    QString m_error;
};

} // namespace quorvel::test
