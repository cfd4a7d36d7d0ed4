#pragma once
#include <QWidget>

#include <memory>

class QLabel;
class QTimer;

namespace Ui {
class MainWindow;
}

namespace quorvel {

class Application;
class SettingsPage;
class AddPage;
class SwipePage;
class AboutPage;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    enum Page { SettingsPageIndex = 0, AddPageIndex = 1, SwipePageIndex = 2, AboutPageIndex = 3 };

    explicit MainWindow(Application& app);
    ~MainWindow() override;
    Ui::MainWindow& ui() { return *m_ui; }

    SettingsPage* settingsPage() const { return m_settings; }
    AddPage* addPage() const { return m_add; }
    SwipePage* swipePage() const { return m_swipe; }
    AboutPage* aboutPage() const { return m_about; }

    // Places the pages and their panes from the current client size (run on creation and on
    // every toolbar click, not on resize).
    void layoutMainWindow();
    void onToolbarClick(int index);

    // Part 1 of the status bar; the member operations read it as the logged-in operator.
    void setLoggedInOperator(const QString& name);
    QString loggedInOperator() const;
    // Operators without the administrator right cannot reach "软件设置" and "会员管理".
    void restrictToolbar();

    QLabel* statusPart(int index) const;
    void tickClock();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildStatusBar();
    void dockBars();

    Application& m_app;
    std::unique_ptr<Ui::MainWindow> m_ui;
    SettingsPage* m_settings = nullptr;
    AddPage* m_add = nullptr;
    SwipePage* m_swipe = nullptr;
    AboutPage* m_about = nullptr;
    QList<QLabel*> m_statusParts;
    QTimer* m_clock = nullptr;
};

} // namespace quorvel
