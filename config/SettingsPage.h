#pragma once
// The "软件设置" page of the main window: login-screen and main-window appearance. Every change
// is written to the settings file at once and, for most of them, shown at once on the window
// concerned, the hidden login window included.
#include "config/Dialogs.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class SettingsPage;
}

namespace quorvel {

class ColourPicker;
class PictureBox;

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);
    ~SettingsPage() override;
    Ui::SettingsPage& ui() { return *m_ui; }

    // The main window holding this page and the login window; the handlers restyle their
    // controls, found by design name. Without a main window the page's own window is used.
    void setStyledWindows(QWidget* mainWindow, QWidget* loginWindow);
    QWidget* mainWindow() const;
    QWidget* loginWindow() const { return m_login; }

    // "检测软件更新", "初始化会员数据", "备份数据" and "恢复数据" are wired by their owners.
    void setUpdateCheckHandler(std::function<void()> handler);
    void setInitialiseMembersHandler(std::function<void()> handler);
    void setBackupHandlers(std::function<void()> backUp, std::function<void()> restore);

    // What the shared font dialog holds: its last confirmed choice, or nothing yet.
    const FontChoice& fontDialogValues() const { return m_fontDialog; }

private:
    enum class Target { Login, Main };

    void connectHandlers();
    void confirmSlogan();
    void confirmTitle();
    void chooseFont(Target target);
    void choosePicture(Target target);
    void themeBackgroundChosen(const QColor& colour);
    void swipePaneColourChosen(const QColor& colour);

    QWidget* loginControl(const QString& name) const;
    QWidget* mainControl(const QString& name) const;

    std::unique_ptr<Ui::SettingsPage> m_ui;
    QPointer<QWidget> m_main;
    QPointer<QWidget> m_login;
    // Both font buttons share one dialog, and so its remembered values.
    FontChoice m_fontDialog;
    std::function<void()> m_updateCheck;
    std::function<void()> m_initialiseMembers;
    std::function<void()> m_backUp;
    std::function<void()> m_restore;
};

} // namespace quorvel
