#pragma once
// The "添加会员" page: add members, top up, redeem points, and the member list.
#include <QWidget>

#include <memory>

namespace Ui {
class AddPage;
}

namespace quorvel {

class AddPage : public QWidget {
    Q_OBJECT
public:
    explicit AddPage(QWidget* parent = nullptr);
    ~AddPage() override;
    Ui::AddPage& ui() { return *m_ui; }

    // Toolbar "会员管理": ends a running member-list load, then starts a new one.
    void restartListLoad();
    // Ends a running member-list load before the main window goes away.
    void endListLoad();

private:
    std::unique_ptr<Ui::AddPage> m_ui;
};

} // namespace quorvel
