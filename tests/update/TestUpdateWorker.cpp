// The window-free half of the update check: the configured server, the replacing move, and the
// worker's cancellation and timeouts against a server that accepts but never greets.
#include "tests/support/TempRunDir.h"
#include "update/FtpClient.h"
#include "update/UpdateCheck.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const char* const kVariables[] = {"QUORVEL_UPDATE_HOST", "QUORVEL_UPDATE_PORT", "QUORVEL_UPDATE_USER",
                                  "QUORVEL_UPDATE_PASSWORD"};

void unsetVariables() {
    for (const char* name : kVariables)
        qunsetenv(name);
}

} // namespace

class TestUpdateWorker : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { unsetVariables(); }
    void configuredServer_data();
    void configuredServer();
    void replaceFile_data();
    void replaceFile();
    void silentServer_data();
    void silentServer();
};

void TestUpdateWorker::configuredServer_data() {
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field"); // the field that changes; empty: none does
    QTest::newRow("host") << QByteArray("QUORVEL_UPDATE_HOST") << "ftp.example.net" << "host";
    QTest::newRow("port") << QByteArray("QUORVEL_UPDATE_PORT") << "2121" << "port";
    QTest::newRow("user") << QByteArray("QUORVEL_UPDATE_USER") << "更新员" << "user";
    QTest::newRow("password") << QByteArray("QUORVEL_UPDATE_PASSWORD") << "p@ss word" << "password";
    QTest::newRow("empty password") << QByteArray("QUORVEL_UPDATE_PASSWORD") << "" << "password";
    QTest::newRow("port not a number") << QByteArray("QUORVEL_UPDATE_PORT") << "ftp" << "";
    QTest::newRow("port out of range") << QByteArray("QUORVEL_UPDATE_PORT") << "70000" << "";
    QTest::newRow("port zero") << QByteArray("QUORVEL_UPDATE_PORT") << "0" << "";
}

void TestUpdateWorker::configuredServer() {
    QFETCH(QByteArray, variable);
    QFETCH(QString, value);
    QFETCH(QString, field);
    unsetVariables();
    const UpdateServer built = UpdateServer::configured();
    UpdateServer expected = built;
    if (field == "host")
        expected.host = value;
    else if (field == "port")
        expected.port = value.toInt();
    else if (field == "user")
        expected.user = value;
    else if (field == "password")
        expected.password = value;
    QVERIFY(qputenv(variable.constData(), value.toUtf8()));
    const UpdateServer got = UpdateServer::configured();
    QCOMPARE(got.host, expected.host);
    QCOMPARE(got.port, expected.port);
    QCOMPARE(got.user, expected.user);
    QCOMPARE(got.password, expected.password);
    QVERIFY(built.port > 0 && built.port <= 65535);
}

void TestUpdateWorker::replaceFile_data() {
    QTest::addColumn<QString>("target"); // relative to the folder; "图片" may be missing
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QString>("before"); // "file", "folder" or "none"
    QTest::addColumn<bool>("moved");
    QTest::newRow("replaces the accepted copy") << "图片/gx.ini" << true << "file" << true;
    QTest::newRow("first accepted copy") << "图片/gx.ini" << true << "none" << true;
    QTest::newRow("folder 图片 missing") << "图片/gx.ini" << false << "none" << false;
    QTest::newRow("a folder in the way") << "图片/gx.ini" << true << "folder" << false;
}

void TestUpdateWorker::replaceFile() {
    QFETCH(QString, target);
    QFETCH(bool, folderExists);
    QFETCH(QString, before);
    QFETCH(bool, moved);
    TempRunDir dir;
    const QString from = dir.file(QStringLiteral("gx.ini"));
    const QString to = dir.file(target);
    QVERIFY(writeBytes(from, "new"));
    if (folderExists)
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("图片")));
    if (before == "file")
        QVERIFY(writeBytes(to, "old"));
    if (before == "folder")
        QVERIFY(QDir(dir.path()).mkpath(target + QStringLiteral("/keep")));

    QCOMPARE(quorvel::replaceFile(from, to), moved);
    QCOMPARE(QFile::exists(from), !moved);
    if (moved)
        QCOMPARE(readBytes(to), QByteArray("new"));
    else if (before == "folder")
        QVERIFY(QFileInfo(to + QStringLiteral("/keep")).isDir());
    else
        QVERIFY(!QFile::exists(to));
}

void TestUpdateWorker::silentServer_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("connectMs");
    // Cancelling must not wait for a timeout, even one that never comes.
    QTest::newRow("cancelled while waiting for the greeting") << true << 3600000;
    QTest::newRow("connect timeout") << false << 500;
}

void TestUpdateWorker::silentServer() {
    QFETCH(bool, cancel);
    QFETCH(int, connectMs);
    // Listening is enough for the connection to be made; nothing is ever sent on it.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    TempRunDir dir;
    const QString download = dir.file(QStringLiteral("gx.ini"));
    FtpClient ftp(kMaxDescriptorBytes);
    ftp.setTimeouts({connectMs, 3600, 3600000});
    UpdateCheck check(ftp);
    QList<UpdateCheck::Outcome> outcomes;
    const UpdateServer server{QStringLiteral("127.0.0.1"), silent.serverPort(), QStringLiteral("u"),
                              QStringLiteral("p")};
    QVERIFY(check.start(server, download, [&](UpdateCheck::Outcome o) { outcomes.append(o); }));
    QVERIFY(check.isRunning());
    QVERIFY(!check.start(server, download, [&](UpdateCheck::Outcome o) { outcomes.append(o); }));
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);

    if (cancel) {
        check.cancel();
        QVERIFY(!check.isRunning());
        QCoreApplication::processEvents();
        QVERIFY(outcomes.isEmpty());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!check.isRunning(), 60000);
        QCOMPARE(outcomes, QList<UpdateCheck::Outcome>{UpdateCheck::Outcome::NotPublished});
    }
    QVERIFY(!ftp.isConnected());
    QVERIFY(!QFile::exists(download));
}

QTEST_MAIN(TestUpdateWorker)
#include "TestUpdateWorker.moc"
