#include "config/Appearance.h"

#include "config/ColourPicker.h"
#include "config/PictureBox.h"
#include "config/Settings.h"
#include "config/SettingsPage.h"
#include "config/Style.h"
#include "ui_SettingsPage.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>

namespace quorvel {

namespace {

template <class T>
T* find(QWidget* root, const QString& name) {
    return root ? root->findChild<T*>(name) : nullptr;
}

// Faces a default setting names, with installed fonts that look alike, best first.
struct Substitute {
    QString face;
    QStringList lookAlikes;
};
const Substitute kSubstitutes[] = {
    {QStringLiteral("楷体"),
     {QStringLiteral("KaiTi"), QStringLiteral("STKaiti"), QStringLiteral("AR PL UKai CN"),
      QStringLiteral("AR PL KaitiM GB"), QStringLiteral("AR PL UKai TW"), QStringLiteral("AR PL UKai HK")}},
};

} // namespace

void registerFontSubstitutions() {
    const QStringList installed = QFontDatabase::families();
    for (const Substitute& s : kSubstitutes) {
        if (installed.contains(s.face) || !QFont::substitutes(s.face).isEmpty())
            continue;
        for (const QString& lookAlike : s.lookAlikes) {
            if (installed.contains(lookAlike)) {
                QFont::insertSubstitution(s.face, lookAlike);
                break;
            }
        }
    }
}

void colourSwipePane(QWidget* mainWindow, const QColor& colour) {
    QWidget* pane = find<QWidget>(mainWindow, controls::kSwipePane);
    if (!pane)
        return;
    setBackgroundColour(pane, colour);
    const QColor paneColour = backgroundColour(pane);
    for (const QString& name : controls::kSwipePaneParts)
        if (QWidget* part = find<QWidget>(pane, name))
            setBackgroundColour(part, paneColour);
}

void applyMainWindowSettings(QWidget* mainWindow, QWidget* loginWindow) {
    using namespace settings;
    if (!mainWindow)
        return;
    SettingsPage* page = mainWindow->findChild<SettingsPage*>();
    if (page)
        page->setStyledWindows(mainWindow, loginWindow);
    Ui::SettingsPage* ui = page ? &page->ui() : nullptr;
    auto* theme = find<PictureBox>(mainWindow, controls::kThemePicture);
    auto* title = find<QLabel>(mainWindow, controls::kTitleLabel);

    if (ui) {
        ui->颜色选择器_启动字体颜色->setColourValue(readColourValue(kSloganColour));        // 1
        ui->组合框_启动标题对齐方式->setCurrentIndex(readInt(kSloganAlignment));            // 2
        ui->编辑框_启动背景->setText(read(kLoginPicture));                                    // 3
        ui->组合框_启动背景显示方式->setCurrentIndex(readInt(kLoginPictureMode));           // 4
        ui->编辑框_启动软件标题->setText(read(kSlogan));                                      // 5
    }
    // 6. A missing or undecodable file leaves the box without a picture.
    const QString themePath = read(kThemePicture);
    if (ui)
        ui->编辑框_LODO地址->setText(themePath);
    if (theme)
        theme->setPictureFile(themePath);
    // 7
    const QString titleText = read(kTitle);
    if (ui)
        ui->编辑框_软件标题->setText(titleText);
    if (title)
        title->setText(titleText);
    // 8. Closing mode.
    if (ui)
        (readFlag(kRelogin) ? ui->单选框_重新登录 : ui->单选框_完全退出)->setChecked(true);
    // 9. Animation.
    const bool animated = readFlag(kThemeAnimated);
    if (ui)
        (animated ? ui->单选框_主题动态 : ui->单选框_主题静态)->setChecked(true);
    if (theme)
        theme->setAnimated(animated);
    // 10
    const int themeMode = readInt(kThemePictureMode);
    if (ui)
        ui->组合框_主题显示方式->setCurrentIndex(themeMode);
    if (theme)
        theme->setDisplayMode(themeMode);
    // 11
    const int border = readInt(kThemeBorder);
    if (theme)
        theme->setBorder(border);
    if (ui)
        ui->组合框_主题图片边框->setCurrentIndex(border);
    // 12
    const int titleAlignment = readInt(kTitleAlignment);
    if (ui)
        ui->组合框_软件标题对齐方式->setCurrentIndex(titleAlignment);
    // 13
    const long long titleColour = readColourValue(kTitleColour);
    if (ui)
        ui->颜色选择器_软件标题颜色->setColourValue(titleColour);
    if (title)
        setTextColour(title, colourFromValue(titleColour));
    // 14
    if (title) {
        setFontFace(title, read(kTitleFontName));
        setFontPointSize(title, readInt(kTitleFontSize));
        setFontBold(title, readFlag(kTitleBold));
        title->setAlignment(alignmentFromIndex(titleAlignment));
    }
    // 15. The colour shows only where no theme picture is configured, whatever the file holds.
    const long long logoColour = readColourValue(kLogoBackground);
    const bool noThemePicture = ui ? ui->编辑框_LODO地址->text().isEmpty() : themePath.isEmpty();
    if (noThemePicture && theme)
        theme->setBackgroundColour(colourFromValue(logoColour));
    if (ui)
        ui->颜色选择器_主题背景色->setColourValue(logoColour);
    // 16
    const long long addColour = readColourValue(kAddPaneColour);
    if (ui)
        ui->颜色选择器_会员添加背景色->setColourValue(addColour);
    if (QWidget* addPane = find<QWidget>(mainWindow, controls::kAddPane))
        setBackgroundColour(addPane, colourFromValue(addColour));
    // 17
    const long long swipeColour = readColourValue(kSwipePaneColour);
    if (ui)
        ui->颜色选择器_刷卡记录背景色->setColourValue(swipeColour);
    colourSwipePane(mainWindow, colourFromValue(swipeColour));
    // 18
    if (auto* autoSwipe = find<QCheckBox>(mainWindow, controls::kAutoSwipe))
        autoSwipe->setChecked(readFlag(kAutoSwipe));
    // 19
    if (auto* cardType = find<QComboBox>(mainWindow, controls::kCardType))
        cardType->setCurrentIndex(0);
}

} // namespace quorvel
