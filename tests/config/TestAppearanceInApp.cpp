// The settings page inside the real program: the main window styled at login, the hidden login
// window restyled, the closing mode and the member-data initialisation.
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "config/ColourPicker.h"
#include "config/PictureBox.h"
#include "config/Program.h"
#include "config/RunDirectory.h"
#include "config/Settings.h"
#include "config/SettingsPage.h"
#include "store/RecordStore.h"
#include "tests/config/FakeDialogs.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"
#include "ui_LoginWindow.h"
#include "ui_MainWindow.h"
#include "ui_SettingsPage.h"

#include <QBuffer>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;

class TestAppearanceInApp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void mainWindowStyledAtLogin();
    void hiddenLoginWindowRestyled();
    void closingMode_data();
    void closingMode();
    void initialiseMemberDataEndsProgram();

private:
    void logIn();
    Ui::SettingsPage& page() { return m_app->mainWindow()->settingsPage()->ui(); }

    std::unique_ptr<TempRunDir> m_dir;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<Application> m_app;
    QStringList m_started;
};

void TestAppearanceInApp::init() {
    m_dir = std::make_unique<TempRunDir>();
    setRunDirectory(m_dir->path());
    m_started.clear();
    program::setStarterForTesting([this](const QString& p) {
        m_started.append(p);
        return true;
    });
    m_dialogs = std::make_unique<FakeDialogs>();
    m_boxes = std::make_unique<MessageBoxWatcher>();
}

void TestAppearanceInApp::cleanup() {
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    RecordStore::instance().closeAll();
    m_boxes.reset();
    m_dialogs.reset();
    program::setStarterForTesting({});
    setRunDirectory(QString());
    m_dir.reset();
}

void TestAppearanceInApp::logIn() {
    QVERIFY(makeOperatorTable(m_dir->file("gly.dat"), {{QStringLiteral("店长"), QStringLiteral("1"), true}}));
    m_app = std::make_unique<Application>();
    m_app->start();
    QVERIFY(m_app->loginWindow());
    auto& ui = m_app->loginWindow()->ui();
    ui.组合框_用户名->setCurrentIndex(0);
    ui.编辑框_登录密码->setText(QStringLiteral("1"));
    m_app->loginWindow()->checkLogin();
    QVERIFY(m_app->mainWindow());
    QVERIFY(m_app->mainWindow()->isVisible());
    QVERIFY(!m_app->loginWindow()->isVisible());
}

void TestAppearanceInApp::mainWindowStyledAtLogin() {
    logIn();
    if (QTest::currentTestFailed())
        return;
    MainWindow* main = m_app->mainWindow();
    QLabel* title = main->ui().透明标签_软件标题;
    QCOMPARE(title->text(), QStringLiteral("Corvane"));
    QCOMPARE(title->font().family(), QStringLiteral("楷体"));
    QCOMPARE(title->font().pointSize(), 25);
    QVERIFY(title->font().bold());
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(main->ui().图片框_主题图片->backgroundColour(), QColor(218, 228, 0));
    QVERIFY(page().单选框_重新登录->isChecked());
    QVERIFY(page().单选框_主题动态->isChecked());
    QCOMPARE(page().编辑框_软件标题->text(), QStringLiteral("Corvane"));
    // The page controls the window it lives in and the login window behind it.
    QCOMPARE(main->settingsPage()->mainWindow(), main);
    QCOMPARE(main->settingsPage()->loginWindow(), m_app->loginWindow());
}

void TestAppearanceInApp::hiddenLoginWindowRestyled() {
    QImage image(5, 7, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString picture = m_dir->file(QStringLiteral("背景.png"));
    QVERIFY(image.save(picture));
    logIn();
    if (QTest::currentTestFailed())
        return;
    Ui::LoginWindow& login = m_app->loginWindow()->ui();
    m_dialogs->colourAnswers = {QColor(0, 0, 200)};
    page().颜色选择器_启动字体颜色->click();
    page().组合框_启动标题对齐方式->setCurrentIndex(0);
    emit page().组合框_启动标题对齐方式->activated(0);
    m_dialogs->fileAnswers = {picture};
    page().按钮_选择启动背景->click();
    m_dialogs->fontAnswers = {[] {
        FontChoice f;
        f.family = QStringLiteral("DejaVu Serif");
        f.pointSize = 16;
        return f;
    }()};
    page().按钮_启动字体选择->click();
    page().编辑框_启动软件标题->setText(QStringLiteral("欢迎"));
    page().按钮_启动标题->click();

    // Restyled while hidden; the slogan waits for the next preparation.
    QVERIFY(!m_app->loginWindow()->isVisible());
    QLabel* slogan = login.透明标签_软件启动标语;
    QCOMPARE(slogan->palette().color(QPalette::WindowText), QColor(0, 0, 200));
    QCOMPARE(slogan->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(slogan->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(slogan->font().pointSize(), 16);
    QCOMPARE(login.图片框_启动背景->pictureSize(), QSize(5, 7));
    QCOMPARE(slogan->text(), QStringLiteral("Corvane"));

    // Back at the login window everything shows, the slogan too, and stays as it was set.
    m_app->mainWindow()->close();
    QVERIFY(m_app->loginWindow()->isVisible());
    QCOMPARE(slogan->text(), QStringLiteral("欢迎"));
    QCOMPARE(slogan->palette().color(QPalette::WindowText), QColor(0, 0, 200));
    QCOMPARE(slogan->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(slogan->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(slogan->font().pointSize(), 16);
    QCOMPARE(login.图片框_启动背景->pictureSize(), QSize(5, 7));
    QCOMPARE(login.图片框_启动背景->displayMode(), 1);
}

void TestAppearanceInApp::closingMode_data() {
    QTest::addColumn<bool>("fullExit");
    QTest::newRow("完全退出") << true;
    QTest::newRow("重新登录") << false;
}

void TestAppearanceInApp::closingMode() {
    QFETCH(bool, fullExit);
    logIn();
    if (QTest::currentTestFailed())
        return;
    page().单选框_完全退出->click();
    if (!fullExit)
        page().单选框_重新登录->click();
    m_app->mainWindow()->close();
    QCOMPARE(m_app->isEnded(), fullExit);
    QCOMPARE(m_app->loginWindow() != nullptr, !fullExit);
}

void TestAppearanceInApp::initialiseMemberDataEndsProgram() {
    logIn();
    if (QTest::currentTestFailed())
        return;
    m_boxes->queueAnswers({false});
    page().按钮_初始化会员数据->click();
    QCOMPARE(m_boxes->texts(),
             QStringList{QStringLiteral("软件数据初始化成功\r\n重新启动生效\r\n自动重启点击【确定】否则点击【取消】")});
    QVERIFY(QFile::exists(m_dir->file("thy.dat")));
    QVERIFY(m_app->isEnded());
    QVERIFY(m_started.isEmpty());
}

QTEST_MAIN(TestAppearanceInApp)
#include "TestAppearanceInApp.moc"
