// The settings page and the styling of the main window and the login window, on windows built
// from the program's own forms.
#include "config/Appearance.h"
#include "config/ColourPicker.h"
#include "config/ConfigFile.h"
#include "config/PictureBox.h"
#include "config/RunDirectory.h"
#include "config/Settings.h"
#include "config/SettingsPage.h"
#include "tests/config/FakeDialogs.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TempRunDir.h"
#include "text/Gbk.h"
#include "ui_AddPage.h"
#include "ui_LoginWindow.h"
#include "ui_MainWindow.h"
#include "ui_SettingsPage.h"
#include "ui_SwipePage.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QtTest>

#include <functional>

using namespace quorvel;
using test::FakeDialogs;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

// The main window's frame with its four pages, and the login window, from their forms.
struct Windows {
    QWidget main;
    Ui::MainWindow mainUi;
    SettingsPage* page = nullptr;
    Ui::AddPage addUi;
    Ui::SwipePage swipeUi;
    QWidget login;
    Ui::LoginWindow loginUi;

    Windows() {
        mainUi.setupUi(&main);
        page = new SettingsPage;
        auto* add = new QWidget;
        addUi.setupUi(add);
        auto* swipe = new QWidget;
        swipeUi.setupUi(swipe);
        mainUi.高级选择夹->addTab(page, QStringLiteral("软件设置"));
        mainUi.高级选择夹->addTab(add, QStringLiteral("添加会员"));
        mainUi.高级选择夹->addTab(swipe, QStringLiteral("刷卡记录"));
        loginUi.setupUi(&login);
    }
    void apply() { applyMainWindowSettings(&main, &login); }
    Ui::SettingsPage& s() { return page->ui(); }
    PictureBox* theme() { return mainUi.图片框_主题图片; }
    QLabel* title() { return mainUi.透明标签_软件标题; }
    QLabel* slogan() { return loginUi.透明标签_软件启动标语; }
    PictureBox* loginPicture() { return loginUi.图片框_启动背景; }
};

// The operator picks an item of a drop-down list.
void selectItem(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QColor textColourOf(QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}
QColor backgroundOf(QWidget* w) {
    return w->autoFillBackground() ? w->palette().color(w->backgroundRole()) : QColor();
}

QByteArray pngBytes(QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

FontChoice font(const QString& family, int size, const QColor& colour, bool bold) {
    FontChoice f;
    f.family = family;
    f.pointSize = size;
    f.colour = colour;
    f.bold = bold;
    return f;
}

} // namespace

// A handler is driven through its control; the check looks at the windows afterwards.
using Drive = std::function<void(Windows&, FakeDialogs&)>;
using Check = std::function<void(Windows&)>;
Q_DECLARE_METATYPE(Drive)
Q_DECLARE_METATYPE(Check)

class TestSettingsPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageRows_data();
    void pageRows();
    void dropDownItems_data();
    void dropDownItems();
    void firstStart();
    void firstStartTitleFontIsAKaiFace();
    void storedSettingsApplied();
    void flagsOnlyExactTrue_data();
    void flagsOnlyExactTrue();
    void emptyKeysReadAsEmpty();

    void handlers_data();
    void handlers();
    void emptyTextRefused_data();
    void emptyTextRefused();

    void fontDialogCancelledBeforeAnyUse_data();
    void fontDialogCancelledBeforeAnyUse();
    void fontDialogCancelledAfterOtherButton_data();
    void fontDialogCancelledAfterOtherButton();
    void fontDialogBlackChangesNoColour_data();
    void fontDialogBlackChangesNoColour();
    void fontDialogMainTitleBoldEveryTime();

    void pictureDialog_data();
    void pictureDialog();
    void pictureDialogCancelled();
    void undecodablePictureStoredWithoutMessage();
    void themePictureRemovedFromDisk();
    void themeAnimation_data();
    void themeAnimation();

    void themeColourQuestion_data();
    void themeColourQuestion();
    void handEditedPathNeverStored();
    void themePathEmptiedByHand();

    void hooks_data();
    void hooks();

private:
    // The lines of the settings file after its section header, in file order.
    QStringList settingsLines() const;
    QString writePicture(const QString& name, const QByteArray& bytes) const;

    std::unique_ptr<test::TempRunDir> m_dir;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<Windows> m_w;
    QString m_png;
    QString m_gif;
};

void TestSettingsPage::initTestCase() {
    registerFontSubstitutions();
}

void TestSettingsPage::init() {
    m_dir = std::make_unique<test::TempRunDir>();
    setRunDirectory(m_dir->path());
    // Pictures live outside the run directory, as the operator's usually do.
    m_png = writePicture(QStringLiteral("标题.png"), pngBytes(QSize(6, 4), kGreen));
    m_gif = writePicture(QStringLiteral("动画.gif"), test::animatedGif(QSize(4, 4), {kRed, kBlue}));
    m_dialogs = std::make_unique<FakeDialogs>();
    m_w = std::make_unique<Windows>();
}

void TestSettingsPage::cleanup() {
    m_w.reset();
    m_dialogs.reset();
    setRunDirectory(QString());
    m_dir.reset();
}

QString TestSettingsPage::writePicture(const QString& name, const QByteArray& bytes) const {
    QDir(m_dir->path()).mkpath(QStringLiteral("pictures"));
    const QString path = m_dir->file(QStringLiteral("pictures/") + name);
    test::writeBytes(path, bytes);
    return path;
}

QStringList TestSettingsPage::settingsLines() const {
    const QString text = fromGbk(test::readBytes(settingsFilePath()));
    QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (!lines.isEmpty() && lines.first() == QStringLiteral("[软件配置]"))
        lines.removeFirst();
    return lines;
}

// ---------------------------------------------------------------------------------------------
// The page

void TestSettingsPage::pageRows_data() {
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text"); // caption, or the row label's text

    const QString login = QStringLiteral("分组框_登录界面设置");
    const QString main = QStringLiteral("分组框_主界面设置");
    // Buttons and check boxes by their captions, the rest by the label left of them.
    const struct {
        const QString& group;
        const char* control;
        const char* text;
    } rows[] = {
        {login, "编辑框_启动软件标题", "启动标题："},
        {login, "按钮_启动标题", "选择"},
        {login, "颜色选择器_启动字体颜色", "字体颜色："},
        {login, "按钮_启动字体选择", "选择"},
        {login, "组合框_启动标题对齐方式", "对齐方式："},
        {login, "编辑框_启动背景", "启动背景："},
        {login, "按钮_选择启动背景", "选择"},
        {login, "组合框_启动背景显示方式", "显示方式："},
        {login, "单选框_完全退出", "完全退出"},
        {login, "单选框_重新登录", "重新登录"},
        {main, "单选框_主题静态", "宣传图 静态"},
        {main, "单选框_主题动态", "宣传图 动态"},
        {main, "编辑框_软件标题", "软件标题："},
        {main, "按钮_软件标题", "选择"},
        {main, "颜色选择器_软件标题颜色", "字体颜色："},
        {main, "按钮_软件标题字体选择", "选择"},
        {main, "组合框_软件标题对齐方式", "对齐方式："},
        {main, "编辑框_LODO地址", "宣传图片："},
        {main, "按钮_主题图片", "选择"},
        {main, "组合框_主题图片边框", "图片边框："},
        {main, "颜色选择器_主题背景色", "标题背景色"},
        {main, "组合框_主题显示方式", "显示方式："},
        {main, "颜色选择器_会员添加背景色", "会员添加背景色："},
        {main, "颜色选择器_刷卡记录背景色", "刷卡记录背景色："},
        {main, "按钮_更新检查", "检测软件更新"},
        {main, "选择框_自动检测软件更新", "自动检测软件更新"},
    };
    for (const auto& r : rows)
        QTest::newRow(r.control) << r.group << QString::fromUtf8(r.control) << QString::fromUtf8(r.text);
}

void TestSettingsPage::pageRows() {
    QFETCH(QString, group);
    QFETCH(QString, control);
    QFETCH(QString, text);
    auto* box = m_w->page->findChild<QGroupBox*>(group);
    QVERIFY(box);
    QWidget* w = box->findChild<QWidget*>(control);
    QVERIFY2(w, qPrintable(control));
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (button && !qobject_cast<ColourPicker*>(w)) {
        QCOMPARE(button->text(), text);
        return;
    }
    // The row's label stands left of the control, on the same line.
    QLabel* rowLabel = nullptr;
    for (QLabel* l : box->findChildren<QLabel*>())
        if (l->text() == text)
            rowLabel = l;
    QVERIFY2(rowLabel, qPrintable(text));
    const QRect lr = rowLabel->geometry();
    const QRect cr = w->geometry();
    QVERIFY(lr.right() < cr.left());
    QVERIFY(qAbs(lr.center().y() - cr.center().y()) < 4);
}

void TestSettingsPage::dropDownItems_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("items");
    const QStringList align{QStringLiteral("0.左对齐"), QStringLiteral("1.居中"), QStringLiteral("2.右对齐")};
    const QStringList mode{QStringLiteral("0.居左上"), QStringLiteral("1.缩放"), QStringLiteral("2.居中")};
    QTest::newRow("slogan alignment") << QStringLiteral("组合框_启动标题对齐方式") << align;
    QTest::newRow("login picture mode") << QStringLiteral("组合框_启动背景显示方式") << mode;
    QTest::newRow("title alignment") << QStringLiteral("组合框_软件标题对齐方式") << align;
    QTest::newRow("theme border") << QStringLiteral("组合框_主题图片边框")
                                  << QStringList{QStringLiteral("0.无边框"), QStringLiteral("1.凹入式"),
                                                 QStringLiteral("2.凸出式"), QStringLiteral("3.浅凹入式")};
    QTest::newRow("theme mode") << QStringLiteral("组合框_主题显示方式") << mode;
}

void TestSettingsPage::dropDownItems() {
    QFETCH(QString, control);
    QFETCH(QStringList, items);
    auto* combo = m_w->page->findChild<QComboBox*>(control);
    QVERIFY(combo);
    QStringList actual;
    for (int i = 0; i < combo->count(); ++i)
        actual.append(combo->itemText(i));
    QCOMPARE(actual, items);
}

void TestSettingsPage::firstStart() {
    QVERIFY(!QFile::exists(settingsFilePath()));
    // Something else than the defaults on screen, so that each value is seen to be applied.
    m_w->addUi.组合框_入类型->setCurrentIndex(2);
    m_w->swipeUi.选择框_自动刷卡->setChecked(true);
    m_w->s().单选框_完全退出->setChecked(true);
    m_w->s().单选框_主题静态->setChecked(true);
    m_w->apply();

    Ui::SettingsPage& s = m_w->s();
    QCOMPARE(s.组合框_启动标题对齐方式->currentText(), QStringLiteral("1.居中"));
    QCOMPARE(s.组合框_软件标题对齐方式->currentText(), QStringLiteral("1.居中"));
    QCOMPARE(s.组合框_启动背景显示方式->currentText(), QStringLiteral("1.缩放"));
    QCOMPARE(s.组合框_主题显示方式->currentText(), QStringLiteral("0.居左上"));
    QCOMPARE(s.组合框_主题图片边框->currentText(), QStringLiteral("0.无边框"));
    QVERIFY(s.单选框_重新登录->isChecked());
    QVERIFY(!s.单选框_完全退出->isChecked());
    QVERIFY(s.单选框_主题动态->isChecked());
    QVERIFY(!s.单选框_主题静态->isChecked());
    QVERIFY(!m_w->swipeUi.选择框_自动刷卡->isChecked());
    QCOMPARE(m_w->addUi.组合框_入类型->currentText(), QStringLiteral("次卡"));
    QCOMPARE(s.编辑框_启动软件标题->text(), QStringLiteral("Corvane"));
    QCOMPARE(s.编辑框_软件标题->text(), QStringLiteral("Corvane"));
    QCOMPARE(s.编辑框_启动背景->text(), QString());
    QCOMPARE(s.编辑框_LODO地址->text(), QString());
    QCOMPARE(s.颜色选择器_启动字体颜色->colourValue(), 255LL);
    QCOMPARE(s.颜色选择器_软件标题颜色->colourValue(), 255LL);
    QCOMPARE(s.颜色选择器_主题背景色->colourValue(), 58586LL);
    QCOMPARE(s.颜色选择器_会员添加背景色->colourValue(), 14466022LL);
    QCOMPARE(s.颜色选择器_刷卡记录背景色->colourValue(), 5689748LL);

    QLabel* title = m_w->title();
    QCOMPARE(title->text(), QStringLiteral("Corvane"));
    QCOMPARE(title->font().family(), QStringLiteral("楷体"));
    QCOMPARE(title->font().pointSize(), 25);
    QVERIFY(title->font().bold());
    QCOMPARE(textColourOf(title), kRed);
    QCOMPARE(title->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    QCOMPARE(m_w->theme()->backgroundColour(), QColor(218, 228, 0));
    QVERIFY(!m_w->theme()->hasPicture());
    QVERIFY(m_w->theme()->isAnimated());
    QCOMPARE(m_w->theme()->displayMode(), 0);
    QCOMPARE(m_w->theme()->border(), 0);
    QCOMPARE(backgroundOf(m_w->addUi.分组框_添加会员), QColor(230, 187, 220));
    const QColor swipe(148, 209, 86);
    QCOMPARE(backgroundOf(m_w->swipeUi.分组框_刷卡), swipe);
    for (QWidget* part : {static_cast<QWidget*>(m_w->swipeUi.分组框3), static_cast<QWidget*>(m_w->swipeUi.分组框4),
                          static_cast<QWidget*>(m_w->swipeUi.分组框5), static_cast<QWidget*>(m_w->swipeUi.分组框6),
                          static_cast<QWidget*>(m_w->swipeUi.选择框_自动刷卡)})
        QCOMPARE(backgroundOf(part), swipe);

    // Styling reads only: it neither creates the file nor starts anything.
    QVERIFY(!QFile::exists(settingsFilePath()));
    QCOMPARE(m_dialogs->fileRequests.size() + m_dialogs->colourInitials.size() + m_dialogs->fontInitials.size(), 0);
}

void TestSettingsPage::firstStartTitleFontIsAKaiFace() {
    m_w->apply();
    const QString face = QFontInfo(m_w->title()->font()).family();
    if (!QFontDatabase::families().contains(QStringLiteral("楷体")) &&
        !QFontDatabase::families().contains(QStringLiteral("AR PL UKai CN")))
        QSKIP("no Kai face installed");
    QVERIFY2(face == QStringLiteral("楷体") || face.contains(QStringLiteral("Kai")), qPrintable(face));
}

void TestSettingsPage::storedSettingsApplied() {
    using namespace settings;
    write(kSlogan, QStringLiteral("欢迎光临"));
    writeColour(kSloganColour, QColor(1, 2, 3));
    writeInt(kSloganAlignment, 2);
    write(kLoginPicture, m_png);
    writeInt(kLoginPictureMode, 2);
    write(kTitle, QStringLiteral("美发店"));
    write(kTitleFontName, QStringLiteral("DejaVu Serif"));
    writeInt(kTitleFontSize, 13);
    writeFlag(kTitleBold, false);
    writeColour(kTitleColour, QColor(4, 5, 6));
    writeInt(kTitleAlignment, 0);
    write(kThemePicture, m_gif);
    writeInt(kThemePictureMode, 1);
    writeInt(kThemeBorder, 3);
    writeFlag(kThemeAnimated, false);
    writeColour(kLogoBackground, QColor(7, 8, 9));
    writeColour(kAddPaneColour, QColor(10, 11, 12));
    writeColour(kSwipePaneColour, QColor(13, 14, 15));
    writeFlag(kRelogin, false);
    writeFlag(kAutoSwipe, true);
    writeFlag(kAutoUpdate, true);
    const QByteArray before = test::readBytes(settingsFilePath());
    m_w->apply();

    Ui::SettingsPage& s = m_w->s();
    QCOMPARE(s.编辑框_启动软件标题->text(), QStringLiteral("欢迎光临"));
    QCOMPARE(s.颜色选择器_启动字体颜色->colour(), QColor(1, 2, 3));
    QCOMPARE(s.组合框_启动标题对齐方式->currentIndex(), 2);
    QCOMPARE(s.编辑框_启动背景->text(), m_png);
    QCOMPARE(s.组合框_启动背景显示方式->currentIndex(), 2);
    QCOMPARE(s.编辑框_软件标题->text(), QStringLiteral("美发店"));
    QCOMPARE(s.颜色选择器_软件标题颜色->colour(), QColor(4, 5, 6));
    QCOMPARE(s.组合框_软件标题对齐方式->currentIndex(), 0);
    QCOMPARE(s.编辑框_LODO地址->text(), m_gif);
    QCOMPARE(s.组合框_主题显示方式->currentIndex(), 1);
    QCOMPARE(s.组合框_主题图片边框->currentIndex(), 3);
    QVERIFY(s.单选框_主题静态->isChecked());
    QVERIFY(s.单选框_完全退出->isChecked());
    QCOMPARE(s.颜色选择器_主题背景色->colour(), QColor(7, 8, 9));
    QCOMPARE(s.颜色选择器_会员添加背景色->colour(), QColor(10, 11, 12));
    QCOMPARE(s.颜色选择器_刷卡记录背景色->colour(), QColor(13, 14, 15));
    // The update box is the form's own: no setting restores it.
    QVERIFY(!s.选择框_自动检测软件更新->isChecked());

    QLabel* title = m_w->title();
    QCOMPARE(title->text(), QStringLiteral("美发店"));
    QCOMPARE(title->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(title->font().pointSize(), 13);
    QVERIFY(!title->font().bold());
    QCOMPARE(textColourOf(title), QColor(4, 5, 6));
    QCOMPARE(title->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    PictureBox* theme = m_w->theme();
    QVERIFY(theme->isAnimatedPicture());
    QVERIFY(!theme->isPlaying());
    QCOMPARE(theme->displayMode(), 1);
    QCOMPARE(theme->border(), 3);
    // A theme picture is configured: its colour is not used.
    QVERIFY(theme->backgroundColour() != QColor(7, 8, 9));
    QCOMPARE(backgroundOf(m_w->addUi.分组框_添加会员), QColor(10, 11, 12));
    QCOMPARE(backgroundOf(m_w->swipeUi.分组框_刷卡), QColor(13, 14, 15));
    QCOMPARE(backgroundOf(m_w->swipeUi.分组框4), QColor(13, 14, 15));
    QCOMPARE(backgroundOf(m_w->swipeUi.选择框_自动刷卡), QColor(13, 14, 15));
    QVERIFY(m_w->swipeUi.选择框_自动刷卡->isChecked());
    // The login window styles itself when it is prepared; creating the main window leaves it.
    QCOMPARE(m_w->slogan()->text(), QStringLiteral("XXXXXX"));
    QVERIFY(!m_w->loginPicture()->hasPicture());
    QCOMPARE(test::readBytes(settingsFilePath()), before);
}

void TestSettingsPage::flagsOnlyExactTrue_data() {
    QTest::addColumn<QString>("relogin");
    QTest::addColumn<QString>("fullExit");
    QTest::addColumn<QString>("animated");
    QTest::addColumn<bool>("reloginChecked");
    QTest::addColumn<bool>("animatedChecked");
    QTest::newRow("both true") << "真" << "真" << "真" << true << true;
    QTest::newRow("false") << "假" << "真" << "假" << false << false;
    QTest::newRow("other text") << "是" << "" << "1" << false << false;
    QTest::newRow("empty") << "" << "假" << "" << false << false;
    QTest::newRow("true with space") << "真 " << "假" << " 真" << true << true; // profile values are trimmed
}

void TestSettingsPage::flagsOnlyExactTrue() {
    QFETCH(QString, relogin);
    QFETCH(QString, fullExit);
    QFETCH(QString, animated);
    QFETCH(bool, reloginChecked);
    QFETCH(bool, animatedChecked);
    settings::write(settings::kRelogin, relogin);
    settings::write(settings::kFullExit, fullExit);
    settings::write(settings::kThemeAnimated, animated);
    settings::write(settings::kThemeStatic, QStringLiteral("真"));
    m_w->apply();
    QCOMPARE(m_w->s().单选框_重新登录->isChecked(), reloginChecked);
    QCOMPARE(m_w->s().单选框_完全退出->isChecked(), !reloginChecked);
    QCOMPARE(m_w->s().单选框_主题动态->isChecked(), animatedChecked);
    QCOMPARE(m_w->s().单选框_主题静态->isChecked(), !animatedChecked);
    QCOMPARE(m_w->theme()->isAnimated(), animatedChecked);
}

void TestSettingsPage::emptyKeysReadAsEmpty() {
    settings::write(settings::kTitle, QString());
    settings::write(settings::kThemePictureMode, QStringLiteral("abc"));
    settings::write(settings::kTitleFontSize, QString());
    // Numbers no integer can hold read as 0.
    settings::write(settings::kTitleColour, QStringLiteral("1e300"));
    settings::write(settings::kTitleAlignment, QStringLiteral("-5e40"));
    settings::write(settings::kLogoBackground, QStringLiteral("65536.9"));
    m_w->apply();
    QCOMPARE(textColourOf(m_w->title()), QColor(0, 0, 0));
    QCOMPARE(m_w->title()->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(m_w->theme()->backgroundColour(), QColor(0, 0, 1)); // truncated
    QCOMPARE(m_w->title()->text(), QString());
    QCOMPARE(m_w->s().编辑框_软件标题->text(), QString());
    QCOMPARE(m_w->s().组合框_主题显示方式->currentIndex(), 0);
    QCOMPARE(m_w->theme()->displayMode(), 0);
    QVERIFY(m_w->title()->font().pointSize() > 0);
}

// ---------------------------------------------------------------------------------------------
// The handlers

void TestSettingsPage::handlers_data() {
    QTest::addColumn<Drive>("drive");
    QTest::addColumn<QStringList>("written"); // the file's lines afterwards, in order; %1 is the picture
    QTest::addColumn<Check>("check");

    // The picture is written by init(), which runs after this table is built.
    const QString* png = &m_png;
    auto clickColour = [](ColourPicker* (*pick)(Windows&), QColor c) {
        return Drive([pick, c](Windows& w, FakeDialogs& d) {
            d.colourAnswers = {c};
            pick(w)->click();
        });
    };

    QTest::newRow("slogan confirmed, shown only at the next preparation")
        << Drive([](Windows& w, FakeDialogs&) {
               w.s().编辑框_启动软件标题->setText(QStringLiteral("  "));
               w.s().按钮_启动标题->click();
           })
        << QStringList{QStringLiteral("软件启动标语=  ")}
        << Check([](Windows& w) { QCOMPARE(w.slogan()->text(), QStringLiteral("XXXXXX")); });
    QTest::newRow("slogan colour")
        << clickColour([](Windows& w) { return w.s().颜色选择器_启动字体颜色; }, QColor(1, 2, 3))
        << QStringList{QStringLiteral("启动标语字体颜色=197121")}
        << Check([](Windows& w) { QCOMPARE(textColourOf(w.slogan()), QColor(1, 2, 3)); });
    QTest::newRow("slogan alignment")
        << Drive([](Windows& w, FakeDialogs&) { selectItem(w.s().组合框_启动标题对齐方式, 2); })
        << QStringList{QStringLiteral("启动标语对齐方式=2")}
        << Check([](Windows& w) { QCOMPARE(w.slogan()->alignment(), Qt::AlignRight | Qt::AlignVCenter); });
    QTest::newRow("login picture")
        << Drive([png](Windows& w, FakeDialogs& d) {
               d.fileAnswers = {*png};
               w.s().按钮_选择启动背景->click();
           })
        << QStringList{QStringLiteral("启动背景=%1")}
        << Check([png](Windows& w) {
               QCOMPARE(w.s().编辑框_启动背景->text(), *png);
               QCOMPARE(w.loginPicture()->pictureSize(), QSize(6, 4));
               QVERIFY(!w.theme()->hasPicture());
           });
    QTest::newRow("login picture mode")
        << Drive([](Windows& w, FakeDialogs&) { selectItem(w.s().组合框_启动背景显示方式, 0); })
        << QStringList{QStringLiteral("启动背景显示方式=0")}
        << Check([](Windows& w) { QCOMPARE(w.loginPicture()->displayMode(), 0); });
    QTest::newRow("full exit")
        << Drive([](Windows& w, FakeDialogs&) { w.s().单选框_完全退出->click(); })
        << QStringList{QStringLiteral("完全退出=真"), QStringLiteral("重新登录=假")}
        << Check([](Windows& w) { QVERIFY(w.s().单选框_完全退出->isChecked()); });
    QTest::newRow("re-login, already selected, written again")
        << Drive([](Windows& w, FakeDialogs&) { w.s().单选框_重新登录->click(); })
        << QStringList{QStringLiteral("重新登录=真"), QStringLiteral("完全退出=假")}
        << Check([](Windows& w) { QVERIFY(w.s().单选框_重新登录->isChecked()); });
    QTest::newRow("theme still")
        << Drive([](Windows& w, FakeDialogs&) { w.s().单选框_主题静态->click(); })
        << QStringList{QStringLiteral("主题静态=真"), QStringLiteral("主题动态=假")}
        << Check([](Windows& w) { QVERIFY(!w.theme()->isAnimated()); });
    QTest::newRow("theme animated, already selected")
        << Drive([](Windows& w, FakeDialogs&) {
               w.theme()->setAnimated(false);
               w.s().单选框_主题动态->click();
           })
        << QStringList{QStringLiteral("主题动态=真"), QStringLiteral("主题静态=假")}
        << Check([](Windows& w) { QVERIFY(w.theme()->isAnimated()); });
    QTest::newRow("title confirmed")
        << Drive([](Windows& w, FakeDialogs&) {
               w.s().编辑框_软件标题->setText(QStringLiteral("美发店 "));
               w.s().按钮_软件标题->click();
           })
        << QStringList{QStringLiteral("软件标题=美发店 ")}
        << Check([](Windows& w) { QCOMPARE(w.title()->text(), QStringLiteral("美发店 ")); });
    QTest::newRow("title colour black")
        << clickColour([](Windows& w) { return w.s().颜色选择器_软件标题颜色; }, QColor(0, 0, 0))
        << QStringList{QStringLiteral("软件标题字体颜色=0")}
        << Check([](Windows& w) { QCOMPARE(textColourOf(w.title()), QColor(0, 0, 0)); });
    QTest::newRow("title alignment")
        << Drive([](Windows& w, FakeDialogs&) { selectItem(w.s().组合框_软件标题对齐方式, 0); })
        << QStringList{QStringLiteral("软件标题对齐方式=0")}
        << Check([](Windows& w) { QCOMPARE(w.title()->alignment(), Qt::AlignLeft | Qt::AlignVCenter); });
    QTest::newRow("theme picture")
        << Drive([png](Windows& w, FakeDialogs& d) {
               d.fileAnswers = {*png};
               w.s().按钮_主题图片->click();
           })
        << QStringList{QStringLiteral("主题图片=%1")}
        << Check([png](Windows& w) {
               QCOMPARE(w.s().编辑框_LODO地址->text(), *png);
               QCOMPARE(w.theme()->pictureSize(), QSize(6, 4));
               QVERIFY(!w.loginPicture()->hasPicture());
           });
    QTest::newRow("theme border")
        << Drive([](Windows& w, FakeDialogs&) { selectItem(w.s().组合框_主题图片边框, 2); })
        << QStringList{QStringLiteral("软件标题边框=2")}
        << Check([](Windows& w) {
               QCOMPARE(w.theme()->border(), 2);
               QCOMPARE(w.theme()->frameShadow(), QFrame::Raised);
           });
    QTest::newRow("theme background without picture")
        << clickColour([](Windows& w) { return w.s().颜色选择器_主题背景色; }, QColor(0, 0, 1))
        << QStringList{QStringLiteral("logo背景色=65536")}
        << Check([](Windows& w) { QCOMPARE(w.theme()->backgroundColour(), QColor(0, 0, 1)); });
    QTest::newRow("theme mode")
        << Drive([](Windows& w, FakeDialogs&) { selectItem(w.s().组合框_主题显示方式, 2); })
        << QStringList{QStringLiteral("主题显示方式=2")}
        << Check([](Windows& w) { QCOMPARE(w.theme()->displayMode(), 2); });
    QTest::newRow("add pane colour")
        << clickColour([](Windows& w) { return w.s().颜色选择器_会员添加背景色; }, QColor(0, 1, 0))
        << QStringList{QStringLiteral("添加会员背景色=256")}
        << Check([](Windows& w) {
               QCOMPARE(backgroundOf(w.addUi.分组框_添加会员), QColor(0, 1, 0));
               QCOMPARE(backgroundOf(w.swipeUi.分组框_刷卡), QColor(148, 209, 86));
           });
    QTest::newRow("swipe pane colour")
        << clickColour([](Windows& w) { return w.s().颜色选择器_刷卡记录背景色; }, QColor(9, 8, 7))
        << QStringList{QStringLiteral("刷卡记录背景色=460809")}
        << Check([](Windows& w) {
               const QColor c(9, 8, 7);
               QCOMPARE(backgroundOf(w.swipeUi.分组框_刷卡), c);
               QCOMPARE(backgroundOf(w.swipeUi.分组框3), c);
               QCOMPARE(backgroundOf(w.swipeUi.分组框4), c);
               QCOMPARE(backgroundOf(w.swipeUi.分组框5), c);
               QCOMPARE(backgroundOf(w.swipeUi.分组框6), c);
               QCOMPARE(backgroundOf(w.swipeUi.选择框_自动刷卡), c);
               QCOMPARE(backgroundOf(w.addUi.分组框_添加会员), QColor(230, 187, 220));
           });
    QTest::newRow("automatic update ticked")
        << Drive([](Windows& w, FakeDialogs&) { w.s().选择框_自动检测软件更新->click(); })
        << QStringList{QStringLiteral("自动更新=真")} << Check([](Windows&) {});
    QTest::newRow("automatic update cleared")
        << Drive([](Windows& w, FakeDialogs&) {
               w.s().选择框_自动检测软件更新->click();
               w.s().选择框_自动检测软件更新->click();
           })
        << QStringList{QStringLiteral("自动更新=假")} << Check([](Windows&) {});
    QTest::newRow("colour dialog cancelled")
        << clickColour([](Windows& w) { return w.s().颜色选择器_刷卡记录背景色; }, QColor())
        << QStringList{} << Check([](Windows& w) {
               QCOMPARE(backgroundOf(w.swipeUi.分组框_刷卡), QColor(148, 209, 86));
           });
}

void TestSettingsPage::handlers() {
    QFETCH(Drive, drive);
    QFETCH(QStringList, written);
    QFETCH(Check, check);
    m_w->apply();
    test::MessageBoxWatcher boxes;
    drive(*m_w, *m_dialogs);
    for (QString& line : written)
        line.replace(QStringLiteral("%1"), m_png);
    QCOMPARE(settingsLines(), written);
    QVERIFY(boxes.seen().isEmpty());
    check(*m_w);
}

void TestSettingsPage::emptyTextRefused_data() {
    QTest::addColumn<bool>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("slogan") << false << QStringLiteral("软件启动界面标语不能为空");
    QTest::newRow("title") << true << QStringLiteral("软件标题不能为空");
}

void TestSettingsPage::emptyTextRefused() {
    QFETCH(bool, title);
    QFETCH(QString, message);
    m_w->apply();
    test::MessageBoxWatcher boxes;
    Ui::SettingsPage& s = m_w->s();
    (title ? s.编辑框_软件标题 : s.编辑框_启动软件标题)->clear();
    (title ? s.按钮_软件标题 : s.按钮_启动标题)->click();
    QCOMPARE(boxes.texts(), QStringList{message});
    QCOMPARE(boxes.seen().first().icon, QMessageBox::NoIcon);
    QVERIFY(!boxes.seen().first().hasCancel);
    QVERIFY(!QFile::exists(settingsFilePath()));
    QCOMPARE(m_w->title()->text(), QStringLiteral("Corvane"));
}

// ---------------------------------------------------------------------------------------------
// The shared font dialog

void TestSettingsPage::fontDialogCancelledBeforeAnyUse_data() {
    QTest::addColumn<bool>("title");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("login slogan: nothing") << false << QStringList{};
    QTest::newRow("main title: loses bold") << true << QStringList{QStringLiteral("软件标题字体加粗=假")};
}

void TestSettingsPage::fontDialogCancelledBeforeAnyUse() {
    QFETCH(bool, title);
    QFETCH(QStringList, written);
    m_w->apply();
    QLabel* label = title ? m_w->title() : m_w->slogan();
    const QFont before = label->font();
    const QColor colourBefore = textColourOf(label);
    (title ? m_w->s().按钮_软件标题字体选择 : m_w->s().按钮_启动字体选择)->click();

    // The dialog opened empty.
    QCOMPARE(m_dialogs->fontInitials, QList<FontChoice>{FontChoice()});
    QCOMPARE(m_dialogs->fontInitials.first().colour, QColor(0, 0, 0));
    QCOMPARE(settingsLines(), written);
    QCOMPARE(label->font().family(), before.family());
    QCOMPARE(label->font().pointSize(), before.pointSize());
    QCOMPARE(textColourOf(label), colourBefore);
    QCOMPARE(label->font().bold(), title ? false : before.bold());
    QCOMPARE(m_w->s().颜色选择器_启动字体颜色->colourValue(), 255LL);
    QCOMPARE(m_w->s().颜色选择器_软件标题颜色->colourValue(), 255LL);
}

void TestSettingsPage::fontDialogCancelledAfterOtherButton_data() {
    QTest::addColumn<bool>("firstTitle"); // which button confirmed first
    QTest::newRow("login confirmed, title cancelled") << false;
    QTest::newRow("title confirmed, login cancelled") << true;
}

void TestSettingsPage::fontDialogCancelledAfterOtherButton() {
    QFETCH(bool, firstTitle);
    m_w->apply();
    const FontChoice choice = font(QStringLiteral("DejaVu Serif"), 14, QColor(0, 128, 0), true);
    m_dialogs->fontAnswers = {choice, std::nullopt};
    QPushButton* titleButton = m_w->s().按钮_软件标题字体选择;
    QPushButton* loginButton = m_w->s().按钮_启动字体选择;
    (firstTitle ? titleButton : loginButton)->click();
    QFile::remove(settingsFilePath());
    (firstTitle ? loginButton : titleButton)->click();

    // The cancelled dialog opened with, and keeps, the other button's choice.
    QCOMPARE(m_dialogs->fontInitials.size(), 2);
    QCOMPARE(m_dialogs->fontInitials.at(1), choice);
    QLabel* label = firstTitle ? m_w->slogan() : m_w->title();
    QCOMPARE(label->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(label->font().pointSize(), 14);
    QCOMPARE(textColourOf(label), QColor(0, 128, 0));
    if (firstTitle) {
        QCOMPARE(settingsLines(), (QStringList{QStringLiteral("启动标语字体名称=DejaVu Serif"),
                                               QStringLiteral("启动标语字体大小=14"),
                                               QStringLiteral("启动标语字体颜色=32768")}));
        QCOMPARE(m_w->s().颜色选择器_启动字体颜色->colour(), QColor(0, 128, 0));
    } else {
        QVERIFY(label->font().bold());
        QCOMPARE(settingsLines(), (QStringList{QStringLiteral("软件标题字体名称=DejaVu Serif"),
                                               QStringLiteral("软件标题字体大小=14"),
                                               QStringLiteral("软件标题字体颜色=32768"),
                                               QStringLiteral("软件标题字体加粗=真")}));
        QCOMPARE(m_w->s().颜色选择器_软件标题颜色->colour(), QColor(0, 128, 0));
    }
}

void TestSettingsPage::fontDialogBlackChangesNoColour_data() {
    QTest::addColumn<bool>("title");
    QTest::newRow("login slogan") << false;
    QTest::newRow("main title") << true;
}

void TestSettingsPage::fontDialogBlackChangesNoColour() {
    QFETCH(bool, title);
    m_w->apply();
    m_dialogs->fontAnswers = {font(QStringLiteral("DejaVu Sans"), 9, QColor(0, 0, 0), false)};
    (title ? m_w->s().按钮_软件标题字体选择 : m_w->s().按钮_启动字体选择)->click();
    QLabel* label = title ? m_w->title() : m_w->slogan();
    QCOMPARE(label->font().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(label->font().pointSize(), 9);
    if (title) {
        QCOMPARE(textColourOf(label), kRed);
        QCOMPARE(settingsLines(), (QStringList{QStringLiteral("软件标题字体名称=DejaVu Sans"),
                                               QStringLiteral("软件标题字体大小=9"),
                                               QStringLiteral("软件标题字体加粗=假")}));
    } else {
        QCOMPARE(textColourOf(label), textColourOf(m_w->loginUi.标签1)); // the form's own colour
        QCOMPARE(settingsLines(), (QStringList{QStringLiteral("启动标语字体名称=DejaVu Sans"),
                                               QStringLiteral("启动标语字体大小=9")}));
    }
    QCOMPARE((title ? m_w->s().颜色选择器_软件标题颜色 : m_w->s().颜色选择器_启动字体颜色)->colourValue(), 255LL);
}

void TestSettingsPage::fontDialogMainTitleBoldEveryTime() {
    m_w->apply();
    m_dialogs->fontAnswers = {font(QString(), 0, QColor(0, 0, 0), true), std::nullopt,
                              font(QString(), 0, QColor(0, 0, 0), false)};
    QPushButton* button = m_w->s().按钮_软件标题字体选择;
    button->click();
    QVERIFY(m_w->title()->font().bold());
    QCOMPARE(settingsLines(), QStringList{QStringLiteral("软件标题字体加粗=真")});
    m_w->title()->setFont(QFont(QStringLiteral("DejaVu Sans")));
    button->click(); // cancelled: the confirmed bold of the first use
    QVERIFY(m_w->title()->font().bold());
    QCOMPARE(m_w->title()->font().family(), QStringLiteral("DejaVu Sans")); // no face in the choice
    button->click();
    QVERIFY(!m_w->title()->font().bold());
    QCOMPARE(settingsLines(), QStringList{QStringLiteral("软件标题字体加粗=假")});
}

// ---------------------------------------------------------------------------------------------
// Pictures

void TestSettingsPage::pictureDialog_data() {
    QTest::addColumn<bool>("theme");
    QTest::newRow("login picture") << false;
    QTest::newRow("theme picture") << true;
}

void TestSettingsPage::pictureDialog() {
    QFETCH(bool, theme);
    m_w->apply();
    // A bare file name can only be one in the folder the dialog started in.
    writePicture(QStringLiteral("x"), QByteArray());
    test::writeBytes(m_dir->file(QStringLiteral("标志.png")), pngBytes(QSize(3, 3), kBlue));
    m_dialogs->fileAnswers = {m_png, QStringLiteral("标志.png")};
    QPushButton* button = theme ? m_w->s().按钮_主题图片 : m_w->s().按钮_选择启动背景;
    button->click();
    button->click();
    QCOMPARE(m_dialogs->fileRequests.size(), 2);
    for (const FakeDialogs::FileRequest& r : m_dialogs->fileRequests) {
        QCOMPARE(r.title, QStringLiteral("请选用高度合适的图片"));
        QCOMPARE(r.folder, m_dir->path());
        QCOMPARE(r.filter, QStringLiteral("图片文件 (*.jpg *.bmp *.gif *.png)"));
    }
    const QString absolute = m_dir->file(QStringLiteral("标志.png"));
    QCOMPARE(settingsLines(), QStringList{QString(theme ? "主题图片=" : "启动背景=") + absolute});
    QCOMPARE((theme ? m_w->s().编辑框_LODO地址 : m_w->s().编辑框_启动背景)->text(), absolute);
    QCOMPARE((theme ? m_w->theme() : m_w->loginPicture())->pictureSize(), QSize(3, 3));
}

void TestSettingsPage::pictureDialogCancelled() {
    m_w->apply();
    m_w->s().编辑框_LODO地址->setText(QStringLiteral("typed"));
    m_w->s().按钮_主题图片->click();
    m_w->s().按钮_选择启动背景->click();
    QCOMPARE(m_dialogs->fileRequests.size(), 2);
    QVERIFY(!QFile::exists(settingsFilePath()));
    QCOMPARE(m_w->s().编辑框_LODO地址->text(), QStringLiteral("typed"));
    QCOMPARE(m_w->s().编辑框_启动背景->text(), QString());
}

void TestSettingsPage::undecodablePictureStoredWithoutMessage() {
    m_w->apply();
    const QString broken = writePicture(QStringLiteral("坏.png"), QByteArray("\x89PNG garbage", 12));
    m_dialogs->fileAnswers = {m_png, broken};
    test::MessageBoxWatcher boxes;
    m_w->s().按钮_主题图片->click();
    QVERIFY(m_w->theme()->hasPicture());
    m_w->s().按钮_主题图片->click();
    QVERIFY(!m_w->theme()->hasPicture());
    QCOMPARE(settingsLines(), QStringList{QStringLiteral("主题图片=") + broken});
    QCOMPARE(m_w->s().编辑框_LODO地址->text(), broken);
    QVERIFY(boxes.seen().isEmpty());
}

void TestSettingsPage::themePictureRemovedFromDisk() {
    settings::write(settings::kThemePicture, m_png);
    {
        Windows before;
        before.apply();
        QVERIFY(before.theme()->hasPicture());
    }
    QVERIFY(QFile::remove(m_png));
    test::MessageBoxWatcher boxes;
    m_w->apply();
    QVERIFY(!m_w->theme()->hasPicture());
    QCOMPARE(m_w->s().编辑框_LODO地址->text(), m_png);
    // The path box is not empty, so the background colour is not applied either.
    QVERIFY(!m_w->theme()->backgroundColour().isValid());
    QCOMPARE(m_w->s().颜色选择器_主题背景色->colourValue(), 58586LL);
    QVERIFY(boxes.seen().isEmpty());
}

void TestSettingsPage::themeAnimation_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("playing");
    QTest::newRow("animated") << "真" << true;
    QTest::newRow("still") << "假" << false;
}

void TestSettingsPage::themeAnimation() {
    QFETCH(QString, stored);
    QFETCH(bool, playing);
    settings::write(settings::kThemeAnimated, stored);
    settings::write(settings::kThemePicture, m_gif);
    m_w->apply();
    PictureBox* theme = m_w->theme();
    QVERIFY(theme->isAnimatedPicture());
    QCOMPARE(theme->isPlaying(), playing);
    // The radio buttons switch it at once, and a picture chosen later follows the switch.
    (playing ? m_w->s().单选框_主题静态 : m_w->s().单选框_主题动态)->click();
    QCOMPARE(theme->isPlaying(), !playing);
    m_dialogs->fileAnswers = {m_gif};
    m_w->s().按钮_主题图片->click();
    QVERIFY(theme->isAnimatedPicture());
    QCOMPARE(theme->isPlaying(), !playing);
}

// ---------------------------------------------------------------------------------------------
// The theme background colour

void TestSettingsPage::themeColourQuestion_data() {
    QTest::addColumn<bool>("answerOk");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestSettingsPage::themeColourQuestion() {
    QFETCH(bool, answerOk);
    settings::write(settings::kThemePicture, m_png);
    m_w->apply();
    const QStringList before = settingsLines();
    test::MessageBoxWatcher boxes;
    boxes.queueAnswers({answerOk});
    m_dialogs->colourAnswers = {QColor(1, 1, 1)};
    m_w->s().颜色选择器_主题背景色->click();

    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("您现在已经拥有宣传主题图片了！！\r\n您确定要更换为背景颜色吗？")});
    QCOMPARE(boxes.seen().first().icon, QMessageBox::Question);
    QVERIFY(boxes.seen().first().hasCancel);
    // Either way nothing changes on screen now, and the picker shows the new colour.
    QVERIFY(m_w->theme()->hasPicture());
    QCOMPARE(m_w->s().编辑框_LODO地址->text(), m_png);
    QVERIFY(!m_w->theme()->backgroundColour().isValid());
    QCOMPARE(m_w->s().颜色选择器_主题背景色->colour(), QColor(1, 1, 1));
    if (!answerOk) {
        QCOMPARE(settingsLines(), before);
        return;
    }
    QCOMPARE(settingsLines(), (QStringList{QStringLiteral("主题图片="), QStringLiteral("logo背景色=65793")}));
    // The next main window shows the colour and no picture.
    Windows next;
    next.apply();
    QVERIFY(!next.theme()->hasPicture());
    QCOMPARE(next.s().编辑框_LODO地址->text(), QString());
    QCOMPARE(next.theme()->backgroundColour(), QColor(1, 1, 1));
}

void TestSettingsPage::handEditedPathNeverStored() {
    settings::write(settings::kThemePicture, m_png);
    m_w->apply();
    const QByteArray before = test::readBytes(settingsFilePath());
    QTest::keyClicks(m_w->s().编辑框_LODO地址, QStringLiteral("x.png"));
    QTest::keyClick(m_w->s().编辑框_LODO地址, Qt::Key_Return);
    QTest::keyClicks(m_w->s().编辑框_启动背景, QStringLiteral("/tmp/y.png"));
    QTest::keyClick(m_w->s().编辑框_启动背景, Qt::Key_Return);
    m_w->s().编辑框_启动背景->clearFocus();
    // Other controls acting meanwhile do not pick up the typed paths either.
    selectItem(m_w->s().组合框_主题显示方式, 1);
    selectItem(m_w->s().组合框_启动背景显示方式, 2);
    QCOMPARE(settings::read(settings::kThemePicture), m_png);
    QCOMPARE(settings::read(settings::kLoginPicture), QString());
    QVERIFY(test::readBytes(settingsFilePath()) != before); // the two modes were written
    QCOMPARE(settingsLines().size(), 3);
}

void TestSettingsPage::themePathEmptiedByHand() {
    settings::write(settings::kThemePicture, m_png);
    m_w->apply();
    m_w->s().编辑框_LODO地址->selectAll();
    QTest::keyClick(m_w->s().编辑框_LODO地址, Qt::Key_Delete);
    QCOMPARE(m_w->s().编辑框_LODO地址->text(), QString());
    test::MessageBoxWatcher boxes;
    m_dialogs->colourAnswers = {QColor(2, 0, 0)};
    m_w->s().颜色选择器_主题背景色->click();
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(m_w->theme()->backgroundColour(), QColor(2, 0, 0));
    QCOMPARE(settingsLines(), (QStringList{QStringLiteral("主题图片=") + m_png, QStringLiteral("logo背景色=2")}));
    // The next main window shows the picture again, not the colour.
    Windows next;
    next.apply();
    QVERIFY(next.theme()->hasPicture());
    QVERIFY(!next.theme()->backgroundColour().isValid());
}

// ---------------------------------------------------------------------------------------------

void TestSettingsPage::hooks_data() {
    QTest::addColumn<bool>("update");
    QTest::newRow("检测软件更新") << true;
    QTest::newRow("初始化会员数据") << false;
}

void TestSettingsPage::hooks() {
    QFETCH(bool, update);
    m_w->apply();
    QPushButton* button = update ? m_w->s().按钮_更新检查 : m_w->s().按钮_初始化会员数据;
    button->click(); // unwired: nothing happens
    int updates = 0;
    int initialisations = 0;
    m_w->page->setUpdateCheckHandler([&] { ++updates; });
    m_w->page->setInitialiseMembersHandler([&] { ++initialisations; });
    button->click();
    QCOMPARE(updates, update ? 1 : 0);
    QCOMPARE(initialisations, update ? 0 : 1);
    QVERIFY(!QFile::exists(settingsFilePath()));
}

QTEST_MAIN(TestSettingsPage)
#include "TestSettingsPage.moc"
