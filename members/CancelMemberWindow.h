#pragma once
// "注销会员": removes the recognised member's record for good once the logged-in
// administrator has typed their password.
#include <QDialog>

#include <memory>

namespace Ui {
class CancelMemberWindow;
}

namespace quorvel {

class AddPage;

class CancelMemberWindow : public QDialog {
    Q_OBJECT
public:
    // Without a parent window: modal over the whole program while it runs.
    explicit CancelMemberWindow(AddPage& page);
    ~CancelMemberWindow() override;
    Ui::CancelMemberWindow& ui() { return *m_ui; }

    // The click on 按钮_确认注销, or Enter in the password box.
    void confirm();

private:
    void confirmOnce();

    std::unique_ptr<Ui::CancelMemberWindow> m_ui;
    AddPage& m_page;
    bool m_confirming = false;
};

} // namespace quorvel
