#pragma once
// Styling the main window and the login window from the settings file.
#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace quorvel {

// Font faces the settings name by default are mapped onto an installed look-alike when the
// face itself is missing. Run once the GUI application exists.
void registerFontSubstitutions();

// Run when the main window is created, after its layout: fills its settings page from the
// settings file and styles the window. loginWindow is the (hidden) login window the page's
// handlers restyle afterwards; it may be null.
void applyMainWindowSettings(QWidget* mainWindow, QWidget* loginWindow);

// Design names of the controls the settings style.
namespace controls {
inline const QString kSloganLabel = QStringLiteral("透明标签_软件启动标语");
inline const QString kLoginPicture = QStringLiteral("图片框_启动背景");
inline const QString kThemePicture = QStringLiteral("图片框_主题图片");
inline const QString kTitleLabel = QStringLiteral("透明标签_软件标题");
inline const QString kAddPane = QStringLiteral("分组框_添加会员");
inline const QString kSwipePane = QStringLiteral("分组框_刷卡");
inline const QString kAutoSwipe = QStringLiteral("选择框_自动刷卡");
inline const QString kCardType = QStringLiteral("组合框_入类型");
// Inside the swipe pane, in the order they take its colour.
inline const QStringList kSwipePaneParts = {QStringLiteral("分组框3"), QStringLiteral("选择框_自动刷卡"),
                                            QStringLiteral("分组框5"), QStringLiteral("分组框6"),
                                            QStringLiteral("分组框4")};
} // namespace controls

// The swipe pane takes colour, then every part inside it takes the pane's colour.
void colourSwipePane(QWidget* mainWindow, const QColor& colour);

} // namespace quorvel
