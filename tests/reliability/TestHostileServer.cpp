// The update check of the running program against a hostile FTP server on 127.0.0.1: a
// descriptor without end, one sent a byte every ten seconds, a connection dropped mid-download,
// listings naming "../" and "/" paths, a listing of 100,000 entries and one over the cap. The
// window stays responsive while the check runs, the check ends within the client's time limits,
// and nothing is written outside the program's folder, nor left inside it.
#include "app/AboutPage.h"
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/UpdatePanel.h"
#include "config/RunDirectory.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "tests/update/FtpTestServer.h"
#include "text/Gbk.h"
#include "update/FtpClient.h"
#include "ui_AboutPage.h"
#include "ui_LoginWindow.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kFailed = QStringLiteral("刷新失败");
const QString kNotFound = QStringLiteral("没有发现新版本，上次主要更新如下：");
const QByteArray kDescriptor = toGbk(QStringLiteral("[更新内容]\r\n版本号=1.8\r\n更新日期=2024年5月1日\r\n"
                                                    "更新信息=修正\r\n下载地址=http://www.quorvel.example/\r\n"));

enum class Mode { Endless, Trickle, Dropped, HostileNamesOnly, HostileNamesAndDescriptor, ManyEntries, TooManyEntries };

// Listing lines in both forms for the names given.
QByteArray mlsdLines(const QStringList& names) {
    QByteArray out;
    for (const QString& n : names)
        out += "type=file;size=" + QByteArray::number(kDescriptor.size()) + ";modify=20240501120000; " + toGbk(n) + "\r\n";
    return out;
}
QByteArray listLines(const QStringList& names) {
    QByteArray out;
    for (const QString& n : names)
        out += "-rw-r--r--    1 ftp      ftp      " + QByteArray::number(kDescriptor.size()) + " May 01 12:00 " + toGbk(n) +
               "\r\n";
    return out;
}

const QStringList kHostileNames = {QStringLiteral("../gx.ini"),     QStringLiteral("../../gx.ini"),
                                   QStringLiteral("/gx.ini"),       QStringLiteral("/tmp/gx.ini"),
                                   QStringLiteral("..\\gx.ini"),    QStringLiteral("sub/gx.ini"),
                                   QStringLiteral("gx.ini/../x"),   QStringLiteral("C:\\gx.ini")};

// Every file under dir with its size, relative to dir.
QStringList snapshot(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out.append(QDir(dir).relativeFilePath(it.filePath()) + u' ' + QString::number(it.fileInfo().size()));
    }
    out.sort();
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Mode)

class TestHostileServer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void updateCheck_data();
    void updateCheck();
    void folderDownloadRefusesPathNames();

private:
    void startServer(const FtpServerOptions& options);
    void logIn();

    std::unique_ptr<TempRunDir> m_box; // holds the program's folder and nothing else
    QString m_run;
    std::unique_ptr<TempRunDir> m_root;
    std::unique_ptr<TempRunDir> m_work;
    std::unique_ptr<FtpTestServer> m_server;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<Application> m_app;
};

void TestHostileServer::init() {
    m_box = std::make_unique<TempRunDir>();
    m_run = m_box->file(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(m_run + QStringLiteral("/图片")));
    // The served version is the one accepted already: a check that gets through only shows notes.
    QVERIFY(writeBytes(m_run + QStringLiteral("/图片/gx.ini"), kDescriptor));
    m_root = std::make_unique<TempRunDir>();
    m_work = std::make_unique<TempRunDir>();
    QVERIFY(QDir(m_root->path()).mkpath(QStringLiteral("软件更新")));
    QVERIFY(writeBytes(m_root->file(QStringLiteral("软件更新/gx.ini")), kDescriptor));
    setRunDirectory(m_run);
    m_server = std::make_unique<FtpTestServer>();
    m_boxes = std::make_unique<MessageBoxWatcher>();
    qputenv("QUORVEL_UPDATE_HOST", "127.0.0.1");
    qputenv("QUORVEL_UPDATE_USER", FtpTestServer::user().toUtf8());
    qputenv("QUORVEL_UPDATE_PASSWORD", FtpTestServer::password().toUtf8());
}

void TestHostileServer::cleanup() {
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_boxes.reset();
    m_server.reset();
    for (const char* name : {"QUORVEL_UPDATE_HOST", "QUORVEL_UPDATE_PORT", "QUORVEL_UPDATE_USER", "QUORVEL_UPDATE_PASSWORD"})
        qunsetenv(name);
    setRunDirectory(QString());
    m_work.reset();
    m_root.reset();
    m_box.reset();
}

void TestHostileServer::startServer(const FtpServerOptions& options) {
    QVERIFY2(m_server->start(m_root->path(), m_work->path(), options), qPrintable(m_server->error()));
    qputenv("QUORVEL_UPDATE_PORT", QByteArray::number(m_server->port()));
}

void TestHostileServer::logIn() {
    QVERIFY(makeOperatorTable(m_run + QStringLiteral("/gly.dat"), {{QStringLiteral("店长"), QStringLiteral("1")}}));
    m_app = std::make_unique<Application>();
    m_app->start();
    QVERIFY(m_app->loginWindow());
    auto& ui = m_app->loginWindow()->ui();
    ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(QStringLiteral("店长")));
    ui.编辑框_登录密码->setText(QStringLiteral("1"));
    m_app->loginWindow()->checkLogin();
    QVERIFY(m_app->mainWindow());
}

void TestHostileServer::updateCheck_data() {
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("label");      // 标签_当前版本号 afterwards
    QTest::addColumn<bool>("notesShown");    // the release notes reached the page
    QTest::newRow("descriptor without end") << Mode::Endless << kFailed << false;
    QTest::newRow("one byte every 10 s") << Mode::Trickle << kFailed << false;
    QTest::newRow("connection dropped mid-download") << Mode::Dropped << kFailed << false;
    QTest::newRow("only names with ../ and /") << Mode::HostileNamesOnly << QString() << false;
    QTest::newRow("names with ../ and / beside the descriptor") << Mode::HostileNamesAndDescriptor << QString() << true;
    QTest::newRow("100,000 entries") << Mode::ManyEntries << QString() << true;
    QTest::newRow("100,001 entries") << Mode::TooManyEntries << QString() << false;
}

void TestHostileServer::updateCheck() {
    QFETCH(Mode, mode);
    QFETCH(QString, label);
    QFETCH(bool, notesShown);

    FtpServerOptions options;
    const QString dir = QStringLiteral("/软件更新");
    auto stub = [&](const QStringList& names) {
        options.stubDir = dir;
        options.stubMlsd = mlsdLines(names);
        options.stubList = listLines(names);
    };
    QStringList many;
    switch (mode) {
    case Mode::Endless:
        options.endlessFile = QStringLiteral("gx.ini");
        break;
    case Mode::Trickle:
        options.trickleFile = QStringLiteral("gx.ini");
        options.trickleSeconds = 10;
        break;
    case Mode::Dropped:
        options.dropFile = QStringLiteral("gx.ini");
        options.dropAfter = 20;
        break;
    case Mode::HostileNamesOnly:
        stub(kHostileNames);
        break;
    case Mode::HostileNamesAndDescriptor:
        stub(kHostileNames + QStringList{QStringLiteral("gx.ini")});
        break;
    case Mode::ManyEntries:
    case Mode::TooManyEntries:
        for (int i = 1; i < FtpClient::MaxListingEntries; ++i)
            many.append(QStringLiteral("f%1.txt").arg(i, 6, 10, QLatin1Char('0')));
        many.append(QStringLiteral("gx.ini"));
        if (mode == Mode::TooManyEntries)
            many.append(QStringLiteral("one-too-many.txt"));
        stub(many);
        break;
    }
    startServer(options);
    logIn();
    const QStringList before = snapshot(m_box->path());
    const bool rootHadOne = QFileInfo::exists(QStringLiteral("/gx.ini"));

    // Read before the check: the client answers nothing while a transfer holds it.
    const FtpTimeouts limits = m_app->ftp().timeouts();
    const qint64 limitMs = limits.connectMs + limits.operationMs;
    Ui::AboutPage& about = m_app->mainWindow()->aboutPage()->ui();
    UpdatePanel* panel = m_app->mainWindow()->aboutPage()->updatePanel();
    about.高级选择夹_关于->setCurrentIndex(2);
    about.编辑框_更新说明->setPlainText(QStringLiteral("earlier notes"));

    // The window's own timer keeps running while the check waits on the server.
    QElapsedTimer clock, sinceTick;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer heartbeat;
    heartbeat.setInterval(20);
    connect(&heartbeat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
        ++ticks;
    });
    clock.start();
    sinceTick.start();
    heartbeat.start();
    QTest::mouseClick(about.按钮_检查更新, Qt::LeftButton);
    QVERIFY(panel->isChecking());
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isChecking(), int(limitMs) + 10000);
    const qint64 tookMs = clock.elapsed();
    heartbeat.stop();
    qInfo("check ended after %lld ms (limit %lld ms); %d heartbeats, longest gap %lld ms", tookMs, limitMs, ticks,
          longestGap);

    QVERIFY2(tookMs < limitMs, "the check outlived the client's time limits");
    QVERIFY2(longestGap < 2000, "the window stopped answering during the check");
    QVERIFY(about.按钮_检查更新->isEnabled());
    QCOMPARE(about.标签_当前版本号->text(), label);
    const QString notes = about.编辑框_更新说明->toPlainText();
    QCOMPARE(notes.startsWith(kNotFound), notesShown);
    if (!notesShown)
        QCOMPARE(notes, QStringLiteral("earlier notes"));
    QCOMPARE(m_boxes->seen().size(), 0);
    // Nothing new anywhere: no download left behind, no half-written file, nothing beside the
    // program's folder.
    QCOMPARE(snapshot(m_box->path()), before);
    QCOMPARE(QFileInfo::exists(QStringLiteral("/gx.ini")), rootHadOne);
}

void TestHostileServer::folderDownloadRefusesPathNames() {
    // A folder whose listing names paths: the whole download is refused before anything is written.
    for (const QString& name : {QStringLiteral("ok.txt"), QStringLiteral("gx.ini")})
        QVERIFY(writeBytes(m_root->file(QStringLiteral("软件更新/") + name), "x"));
    FtpServerOptions options;
    options.stubDir = QStringLiteral("/软件更新");
    options.stubMlsd = mlsdLines(QStringList{QStringLiteral("ok.txt")} + kHostileNames);
    options.stubList = listLines(QStringList{QStringLiteral("ok.txt")} + kHostileNames);
    startServer(options);
    const QString target = m_run + QStringLiteral("/下载");
    const QStringList before = snapshot(m_box->path());
    FtpClient ftp;
    QVERIFY(ftp.connect(QStringLiteral("127.0.0.1"), FtpTestServer::user(), FtpTestServer::password(), m_server->port()));
    QVERIFY(!ftp.downloadDirectory(QStringLiteral("/软件更新"), target));
    QVERIFY(!ftp.lastError().isEmpty());
    ftp.close();
    // At most the empty target folder exists; no file at all was written.
    QCOMPARE(snapshot(m_box->path()), before);
    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(TestHostileServer)
#include "TestHostileServer.moc"
