#pragma once
// The "软件设置" page of the main window: login-screen and main-window appearance.
#include <QWidget>

#include <memory>

namespace Ui {
class SettingsPage;
}

namespace quorvel {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);
    ~SettingsPage() override;
    Ui::SettingsPage& ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::SettingsPage> m_ui;
};

} // namespace quorvel
