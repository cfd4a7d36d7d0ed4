// The update check driven through the real windows (login, main window, about page) against a
// GBK FTP server on 127.0.0.1. The notes box is compared through toPlainText(), where every
// "\r\n" the check appends reads as "\n".
#include "app/AboutPage.h"
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/UpdatePanel.h"
#include "config/ConfigFile.h"
#include "config/RunDirectory.h"
#include "config/SettingsPage.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "tests/update/FtpTestServer.h"
#include "text/Gbk.h"
#include "update/FtpClient.h"
#include "update/UpdateCheck.h"
#include "ui_AboutPage.h"
#include "ui_LoginWindow.h"
#include "ui_MainWindow.h"
#include "ui_SettingsPage.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kFound = QStringLiteral("发现新版本，主要更新如下：");
const QString kNotFound = QStringLiteral("没有发现新版本，上次主要更新如下：");
const QString kQuestion = QStringLiteral("有新版本 需要更新");
const QString kFailed = QStringLiteral("刷新失败");

const QString kDate = QStringLiteral("2024年5月1日");
const QString kInfo = QStringLiteral("会员查询更快；新增积分兑换记录。");
const QString kAddress = QStringLiteral("http://www.quorvel.example/下载/会员卡.exe");

// A descriptor as the maker publishes it; a null version leaves the key out.
QByteArray descriptor(const QString& version, const QString& date = kDate, const QString& info = kInfo,
                      const QString& address = kAddress) {
    QString text = QStringLiteral("[更新内容]\r\n");
    if (!version.isNull())
        text += QStringLiteral("版本号=") + version + QStringLiteral("\r\n");
    text += QStringLiteral("更新日期=") + date + QStringLiteral("\r\n");
    text += QStringLiteral("更新信息=") + info + QStringLiteral("\r\n");
    text += QStringLiteral("下载地址=") + address + QStringLiteral("\r\n");
    return toGbk(text);
}

// What the notes box shows after a check, heading and release-notes block.
QString notes(const QString& heading, const QString& version, const QString& date = kDate,
              const QString& info = kInfo, const QString& address = kAddress) {
    return heading + QStringLiteral("\n\n版本号：") + version + QStringLiteral("\n\n更新时间：") + date +
           QStringLiteral("\n\n") + info + QStringLiteral("\n\n下载地址：") + address;
}

int countCommands(const QStringList& commands, const QString& verb) {
    int n = 0;
    for (const QString& c : commands) {
        if (c.startsWith(verb + u' ') || c == verb)
            ++n;
    }
    return n;
}

// Reports every time a widget becomes disabled.
class DisableSpy : public QObject {
public:
    DisableSpy(QWidget* widget, std::function<void()> onDisabled) : m_onDisabled(std::move(onDisabled)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && !static_cast<QWidget*>(watched)->isEnabled())
            m_onDisabled();
        return false;
    }

private:
    std::function<void()> m_onDisabled;
};

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void offeredVersion_data();
    void offeredVersion();
    void malformedDescriptor_data();
    void malformedDescriptor();
    void nothingToFetch_data();
    void nothingToFetch();
    void downloadFails_data();
    void downloadFails();
    void settingsButtonShowsUpdateTabFirst();
    void secondClickStartsNoSecondCheck();
    void closingDuringDownload_data();
    void closingDuringDownload();

private:
    QString downloaded() const { return m_run->file(QStringLiteral("gx.ini")); }
    QString accepted() const { return m_run->file(QStringLiteral("图片/gx.ini")); }
    QString gateFile() const { return m_work->file(QStringLiteral("gate")); }
    void makePictureFolder() { QVERIFY(QDir(m_run->path()).mkdir(QStringLiteral("图片"))); }
    void publish(const QByteArray& bytes);
    void startServer(const FtpServerOptions& options = {});
    void logIn();
    Ui::AboutPage& about() { return m_app->mainWindow()->aboutPage()->ui(); }
    UpdatePanel* panel() { return m_app->mainWindow()->aboutPage()->updatePanel(); }
    // Clicks 按钮_检查更新 on its tab, as the operator does.
    void clickCheck();
    void waitForCheck();

    std::unique_ptr<TempRunDir> m_run;
    std::unique_ptr<TempRunDir> m_root; // what the server serves
    std::unique_ptr<TempRunDir> m_work; // the server's port file, log and gate
    std::unique_ptr<FtpTestServer> m_server;
    std::unique_ptr<Application> m_app;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
};

void TestUpdateCheck::init() {
    m_run = std::make_unique<TempRunDir>();
    m_root = std::make_unique<TempRunDir>();
    m_work = std::make_unique<TempRunDir>();
    setRunDirectory(m_run->path());
    m_server = std::make_unique<FtpTestServer>();
    m_boxes = std::make_unique<MessageBoxWatcher>();
    qputenv("QUORVEL_UPDATE_HOST", "127.0.0.1");
    qputenv("QUORVEL_UPDATE_USER", FtpTestServer::user().toUtf8());
    qputenv("QUORVEL_UPDATE_PASSWORD", FtpTestServer::password().toUtf8());
    qunsetenv("QUORVEL_UPDATE_PORT");
}

void TestUpdateCheck::cleanup() {
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_boxes.reset();
    m_server.reset();
    for (const char* name : {"QUORVEL_UPDATE_HOST", "QUORVEL_UPDATE_PORT", "QUORVEL_UPDATE_USER",
                             "QUORVEL_UPDATE_PASSWORD"})
        qunsetenv(name);
    setRunDirectory(QString());
    m_work.reset();
    m_root.reset();
    m_run.reset();
}

void TestUpdateCheck::publish(const QByteArray& bytes) {
    QVERIFY(QDir(m_root->path()).mkpath(QStringLiteral("软件更新")));
    QVERIFY(writeBytes(m_root->file(QStringLiteral("软件更新/gx.ini")), bytes));
}

void TestUpdateCheck::startServer(const FtpServerOptions& options) {
    QVERIFY2(m_server->start(m_root->path(), m_work->path(), options), qPrintable(m_server->error()));
    qputenv("QUORVEL_UPDATE_PORT", QByteArray::number(m_server->port()));
}

void TestUpdateCheck::logIn() {
    QVERIFY(makeOperatorTable(m_run->file(QStringLiteral("gly.dat")), {{QStringLiteral("店长"), QStringLiteral("1")}}));
    m_app = std::make_unique<Application>();
    m_app->start();
    QVERIFY(m_app->loginWindow());
    auto& ui = m_app->loginWindow()->ui();
    ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(QStringLiteral("店长")));
    ui.编辑框_登录密码->setText(QStringLiteral("1"));
    m_app->loginWindow()->checkLogin();
    QVERIFY(m_app->mainWindow());
    QVERIFY(panel());
    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(about().标签_当前版本号->text(), QString());
}

void TestUpdateCheck::clickCheck() {
    about().高级选择夹_关于->setCurrentIndex(2);
    QPushButton* button = about().按钮_检查更新;
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    // The button goes grey at once, before anything reaches the network.
    QVERIFY(!button->isEnabled());
    QVERIFY(panel()->isChecking());
}

void TestUpdateCheck::waitForCheck() {
    QTRY_VERIFY_WITH_TIMEOUT(!panel()->isChecking(), 60000);
}

// ---------------------------------------------------------------------------------------------

void TestUpdateCheck::offeredVersion_data() {
    QTest::addColumn<QString>("local");  // null: no local copy
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("pictureFolder");
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<bool>("newer");
    QTest::newRow("1.7 to 1.8, OK") << "1.7" << "1.8" << true << true << true;
    QTest::newRow("1.7 to 1.8, Cancel") << "1.7" << "1.8" << true << false << true;
    QTest::newRow("same version") << "1.8" << "1.8" << true << true << false;
    QTest::newRow("1.10 is not newer than 1.9") << "1.9" << "1.10" << true << true << false;
    QTest::newRow("older on the server") << "2.0" << "1.8" << true << true << false;
    QTest::newRow("no local copy") << QString() << "0.5" << true << true << true;
    QTest::newRow("local copy without a number") << "旧版" << "1.0" << true << true << true;
    QTest::newRow("server version without a number") << "1.7" << "新版" << true << true << false;
    QTest::newRow("within the tolerance") << "1.8" << "1.80000009" << true << true << false;
    QTest::newRow("beyond the tolerance") << "1.8" << "1.8000002" << true << true << true;
    QTest::newRow("full-width digits") << "1.9" << "２．０" << true << true << true;
    QTest::newRow("text after the number") << "1.7" << "1.8 正式版" << true << true << true;
    QTest::newRow("accepted without the folder 图片") << QString() << "1.8" << false << true << true;
}

void TestUpdateCheck::offeredVersion() {
    QFETCH(QString, local);
    QFETCH(QString, server);
    QFETCH(bool, pictureFolder);
    QFETCH(bool, answerOk);
    QFETCH(bool, newer);

    if (pictureFolder)
        makePictureFolder();
    const QByteArray localBytes =
        local.isNull() ? QByteArray() : descriptor(local, "2023年1月1日", "上一版", "http://old.example/");
    if (!local.isNull())
        QVERIFY(writeBytes(accepted(), localBytes));
    const QByteArray published = descriptor(server);
    publish(published);
    startServer();
    logIn();

    struct AtQuestion {
        QString notes;
        QString label;
        bool buttonEnabled = true;
        QByteArray downloadedBytes;
        QByteArray localBytes;
    } atQuestion;
    m_boxes->setOnAnswered([&](const SeenBox&) {
        atQuestion = {about().编辑框_更新说明->toPlainText(), about().标签_当前版本号->text(),
                      about().按钮_检查更新->isEnabled(), readBytes(downloaded()), readBytes(accepted())};
    });
    m_boxes->queueAnswers({answerOk});
    clickCheck();
    waitForCheck();

    const QString shown = notes(newer ? kFound : kNotFound, server);
    if (newer) {
        QCOMPARE(m_boxes->texts(), QStringList{kQuestion});
        QCOMPARE(m_boxes->seen()[0].icon, QMessageBox::Question);
        QVERIFY(m_boxes->seen()[0].hasCancel);
        // The question comes after the notes and before anything is recorded.
        QCOMPARE(atQuestion.notes, shown);
        QCOMPARE(atQuestion.label, QString());
        QVERIFY(!atQuestion.buttonEnabled);
        QCOMPARE(atQuestion.downloadedBytes, published);
        QCOMPARE(atQuestion.localBytes, localBytes);
    } else {
        QVERIFY(m_boxes->seen().isEmpty());
    }
    const bool recorded = newer && answerOk && pictureFolder;
    QCOMPARE(about().编辑框_更新说明->toPlainText(), shown);
    QCOMPARE(about().标签_当前版本号->text(), newer && answerOk ? server : QString());
    QVERIFY(about().按钮_检查更新->isEnabled());
    QVERIFY(!QFile::exists(downloaded()));
    QCOMPARE(QFile::exists(accepted()), recorded || !local.isNull());
    QCOMPARE(readBytes(accepted()), recorded ? published : localBytes);

    // The next check asks again unless the update was recorded; its notes replace the old ones.
    const QString labelBefore = about().标签_当前版本号->text();
    m_boxes->clear();
    m_boxes->queueAnswers({false});
    clickCheck();
    waitForCheck();
    const bool askedAgain = newer && !recorded;
    QCOMPARE(m_boxes->seen().size(), askedAgain ? 1 : 0);
    QCOMPARE(about().编辑框_更新说明->toPlainText(), notes(askedAgain ? kFound : kNotFound, server));
    QCOMPARE(about().标签_当前版本号->text(), labelBefore);
    QCOMPARE(readBytes(accepted()), recorded ? published : localBytes);
    QVERIFY(!QFile::exists(downloaded()));
    QVERIFY(about().按钮_检查更新->isEnabled());
}

void TestUpdateCheck::malformedDescriptor_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe[\x81\x30junk\n=\n[]]]\r\n\xb0", 20);
    QTest::newRow("no section") << toGbk(QStringLiteral("版本号=9.9\r\n更新信息=无\r\n"));
    QTest::newRow("another section") << toGbk(QStringLiteral("[其它]\r\n版本号=9.9\r\n"));
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("one endless line") << QByteArray(60000, 'x');
}

void TestUpdateCheck::malformedDescriptor() {
    QFETCH(QByteArray, bytes);
    makePictureFolder();
    const QByteArray localBytes = descriptor(QStringLiteral("1.0"));
    QVERIFY(writeBytes(accepted(), localBytes));
    publish(bytes);
    startServer();
    logIn();
    clickCheck();
    waitForCheck();
    // A descriptor without a number offers nothing: its empty values are shown.
    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(about().编辑框_更新说明->toPlainText(), notes(kNotFound, QString(), QString(), QString(), QString()));
    QCOMPARE(about().标签_当前版本号->text(), QString());
    QCOMPARE(readBytes(accepted()), localBytes);
    QVERIFY(!QFile::exists(downloaded()));
    QVERIFY(about().按钮_检查更新->isEnabled());
}

void TestUpdateCheck::nothingToFetch_data() {
    QTest::addColumn<QString>("situation");
    QTest::newRow("no folder 软件更新") << "no folder";
    QTest::newRow("no gx.ini in it") << "no file";
    QTest::newRow("gx.ini is a folder") << "folder";
    QTest::newRow("server unreachable") << "closed port";
    QTest::newRow("account refused") << "wrong password";
}

void TestUpdateCheck::nothingToFetch() {
    QFETCH(QString, situation);
    makePictureFolder();
    const QByteArray localBytes = descriptor(QStringLiteral("1.0"));
    QVERIFY(writeBytes(accepted(), localBytes));
    if (situation == "no file")
        QVERIFY(QDir(m_root->path()).mkpath(QStringLiteral("软件更新/其它")));
    if (situation == "folder")
        QVERIFY(QDir(m_root->path()).mkpath(QStringLiteral("软件更新/gx.ini")));
    if (situation == "closed port") {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        qputenv("QUORVEL_UPDATE_PORT", QByteArray::number(port));
    } else {
        if (situation == "wrong password") {
            publish(descriptor(QStringLiteral("9.0")));
            qputenv("QUORVEL_UPDATE_PASSWORD", "not-the-password");
        }
        startServer();
    }
    logIn();
    // The page keeps exactly what it showed before.
    about().标签_当前版本号->setText(QStringLiteral("1.5"));
    about().编辑框_更新说明->setPlainText(QStringLiteral("以前的说明\n第二行"));
    clickCheck();
    waitForCheck();
    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(about().标签_当前版本号->text(), QStringLiteral("1.5"));
    QCOMPARE(about().编辑框_更新说明->toPlainText(), QStringLiteral("以前的说明\n第二行"));
    QVERIFY(about().按钮_检查更新->isEnabled());
    QVERIFY(!QFile::exists(downloaded()));
    QCOMPARE(readBytes(accepted()), localBytes);
    if (situation == "closed port")
        QVERIFY(!m_app->ftp().isConnected());
}

void TestUpdateCheck::downloadFails_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("refused by the server") << "refused";
    QTest::newRow("larger than a descriptor may be") << "too large";
    QTest::newRow("transfer stalls") << "stall";
}

void TestUpdateCheck::downloadFails() {
    QFETCH(QString, cause);
    makePictureFolder();
    const QByteArray localBytes = descriptor(QStringLiteral("1.8"));
    QVERIFY(writeBytes(accepted(), localBytes));
    const QByteArray good = descriptor(QStringLiteral("1.8"));
    FtpServerOptions options;
    if (cause == "too large")
        publish(good + "; " + QByteArray(int(kMaxDescriptorBytes), 'x') + "\r\n");
    else
        publish(good);
    if (cause == "refused")
        options.failRetr = 1;
    if (cause == "stall")
        options.gateFile = gateFile();
    startServer(options);
    logIn();
    if (cause == "stall")
        m_app->ftp().setTimeouts({10000, 1, 600000}); // idle for a second ends it

    about().编辑框_更新说明->setPlainText(QStringLiteral("以前的说明"));
    clickCheck();
    waitForCheck();
    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(about().标签_当前版本号->text(), kFailed);
    QCOMPARE(about().编辑框_更新说明->toPlainText(), QStringLiteral("以前的说明"));
    QVERIFY(about().按钮_检查更新->isEnabled());
    QVERIFY(!QFile::exists(downloaded()));
    QCOMPARE(readBytes(accepted()), localBytes);

    // Once the server serves it again, the same button checks again.
    if (cause == "too large")
        publish(good);
    if (cause == "stall")
        QVERIFY(writeBytes(gateFile(), "open"));
    clickCheck();
    waitForCheck();
    QVERIFY(m_boxes->seen().isEmpty());
    QCOMPARE(about().编辑框_更新说明->toPlainText(), notes(kNotFound, QStringLiteral("1.8")));
    QCOMPARE(about().标签_当前版本号->text(), kFailed); // only an accepted update changes it
    QVERIFY(about().按钮_检查更新->isEnabled());
    QVERIFY(!QFile::exists(downloaded()));
}

void TestUpdateCheck::settingsButtonShowsUpdateTabFirst() {
    makePictureFolder();
    QVERIFY(writeBytes(accepted(), descriptor(QStringLiteral("1.8"))));
    publish(descriptor(QStringLiteral("1.8")));
    startServer();
    logIn();
    MainWindow* main = m_app->mainWindow();
    main->onToolbarClick(0);
    QCOMPARE(main->ui().高级选择夹->currentIndex(), 0);
    QCOMPARE(about().高级选择夹_关于->currentIndex(), 0);

    QList<QPair<int, int>> pagesWhenCheckBegan;
    DisableSpy spy(about().按钮_检查更新, [&] {
        pagesWhenCheckBegan.append({main->ui().高级选择夹->currentIndex(), about().高级选择夹_关于->currentIndex()});
    });
    QTest::mouseClick(main->settingsPage()->ui().按钮_更新检查, Qt::LeftButton);
    QCOMPARE(pagesWhenCheckBegan, (QList<QPair<int, int>>{{3, 2}}));
    QVERIFY(panel()->isChecking());
    waitForCheck();
    QCOMPARE(about().编辑框_更新说明->toPlainText(), notes(kNotFound, QStringLiteral("1.8")));
    QVERIFY(about().按钮_检查更新->isEnabled());
}

void TestUpdateCheck::secondClickStartsNoSecondCheck() {
    makePictureFolder();
    QVERIFY(writeBytes(accepted(), descriptor(QStringLiteral("1.7"))));
    publish(descriptor(QStringLiteral("1.8")));
    FtpServerOptions options;
    options.gateFile = gateFile();
    startServer(options);
    logIn();
    MainWindow* main = m_app->mainWindow();
    m_boxes->queueAnswers({false, false, false});

    clickCheck();
    QTRY_VERIFY_WITH_TIMEOUT(countCommands(m_server->commands(), "RETR") == 1, 30000);
    // Only the settings page's button is still live while the first check downloads.
    for (int i = 0; i < 2; ++i) {
        main->onToolbarClick(0);
        QTest::mouseClick(main->settingsPage()->ui().按钮_更新检查, Qt::LeftButton);
        QCOMPARE(main->ui().高级选择夹->currentIndex(), 3);
        QCOMPARE(about().高级选择夹_关于->currentIndex(), 2);
    }
    QVERIFY(!panel()->startCheck());
    QVERIFY(!about().按钮_检查更新->isEnabled());

    QVERIFY(writeBytes(gateFile(), "open"));
    waitForCheck();
    QCOMPARE(m_boxes->texts(), QStringList{kQuestion});
    QCOMPARE(about().编辑框_更新说明->toPlainText(), notes(kFound, QStringLiteral("1.8")));

    // One more check, after the first: it alone adds a download and a question.
    clickCheck();
    waitForCheck();
    QCOMPARE(m_boxes->texts(), QStringList({kQuestion, kQuestion}));
    const QStringList commands = m_server->commands();
    QCOMPARE(countCommands(commands, "RETR"), 2);
    QCOMPARE(countCommands(commands, "USER"), 1); // the connection is reused
}

void TestUpdateCheck::closingDuringDownload_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("main window closed, re-login") << "真";
    QTest::newRow("main window closed, complete exit") << "假";
    QTest::newRow("program ends") << "end";
}

void TestUpdateCheck::closingDuringDownload() {
    QFETCH(QString, how);
    makePictureFolder();
    const QByteArray localBytes = descriptor(QStringLiteral("1.7"));
    QVERIFY(writeBytes(accepted(), localBytes));
    publish(descriptor(QStringLiteral("1.8")));
    FtpServerOptions options;
    options.gateFile = gateFile();
    startServer(options);
    if (how != "end")
        QVERIFY(writeSetting(QStringLiteral("重新登录"), how));
    logIn();
    // No timeout would end this download: only closing can.
    m_app->ftp().setTimeouts({600000, 3600, 3600000});
    clickCheck();
    QTRY_VERIFY_WITH_TIMEOUT(countCommands(m_server->commands(), "RETR") == 1, 30000);

    if (how == "end") {
        m_app.reset();
    } else {
        QPointer<MainWindow> main = m_app->mainWindow();
        QPointer<UpdatePanel> update = panel();
        QVERIFY(main->close());
        QVERIFY(!update->isChecking());
        QVERIFY(!m_app->ftp().isConnected());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(main.isNull());
        QVERIFY(update.isNull());
    }
    // Whatever the worker had queued is dropped with the page.
    QCoreApplication::processEvents();
    QVERIFY(m_boxes->seen().isEmpty());
    QVERIFY(!QFile::exists(downloaded()));
    QCOMPARE(readBytes(accepted()), localBytes);

    if (how == "真") {
        // The next main window checks afresh over a new connection.
        QVERIFY(writeBytes(gateFile(), "open"));
        m_boxes->queueAnswers({true});
        auto& ui = m_app->loginWindow()->ui();
        ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(QStringLiteral("店长")));
        ui.编辑框_登录密码->setText(QStringLiteral("1"));
        m_app->loginWindow()->checkLogin();
        QVERIFY(m_app->mainWindow());
        clickCheck();
        waitForCheck();
        QCOMPARE(m_boxes->texts(), QStringList{kQuestion});
        QCOMPARE(about().标签_当前版本号->text(), QStringLiteral("1.8"));
        QCOMPARE(readBytes(accepted()), descriptor(QStringLiteral("1.8")));
    } else if (how == "假") {
        QVERIFY(m_app->isEnded());
    }
}

QTEST_MAIN(TestUpdateCheck)
#include "TestUpdateCheck.moc"
