#pragma once
// "会员信息修改": rewrites the recognised member's name, gender, phone and card type from the
// add page once the logged-in administrator has typed their password.
#include <QDialog>

#include <memory>

namespace Ui {
class ModifyMemberWindow;
}

namespace quorvel {

class AddPage;

class ModifyMemberWindow : public QDialog {
    Q_OBJECT
public:
    // Without a parent window: modal over the whole program while it runs.
    explicit ModifyMemberWindow(AddPage& page);
    ~ModifyMemberWindow() override;
    Ui::ModifyMemberWindow& ui() { return *m_ui; }

    // The click on 按钮_确认修改, or Enter in the password box.
    void confirm();

private:
    void confirmOnce();

    std::unique_ptr<Ui::ModifyMemberWindow> m_ui;
    AddPage& m_page;
    bool m_confirming = false;
};

} // namespace quorvel
