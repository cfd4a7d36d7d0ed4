#pragma once
#include <QWidget>

#include <memory>

namespace Ui {
class LoginWindow;
}

namespace quorvel {

class Application;

class LoginWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoginWindow(Application& app);
    ~LoginWindow() override;
    Ui::LoginWindow& ui() { return *m_ui; }

    // Styles the window from the settings, creates the operator table on the first run and
    // lists the operators. Run when the window is created and each time it is shown again.
    void prepareLoginWindow();
    void reloadOperatorList();
    void checkLogin();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createOperatorTable();
    void onOperatorComboPressed();

    Application& m_app;
    std::unique_ptr<Ui::LoginWindow> m_ui;
};

} // namespace quorvel
