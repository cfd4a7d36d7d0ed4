#pragma once
// The "添加会员" page: add members, top up, redeem points, and the member list.
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

namespace Ui {
class AddPage;
}

namespace quorvel {

class ListLoader;
class MemberListModel;
class TaskTracker;
namespace members {
struct NewMember;
struct RecognisedMember;
} // namespace members

// The waiting calls below (endListLoad, loadMemberListNow, finishListLoad, settleCardChecks and
// the procedures that use them) wait for worker tasks that take the store's lock: never call them
// while holding a RecordStore::Lock or Transaction.
class AddPage : public QWidget {
    Q_OBJECT
public:
    explicit AddPage(QWidget* parent = nullptr);
    // Ends this page's list load and card check first.
    ~AddPage() override;
    Ui::AddPage& ui() { return *m_ui; }
    // The model behind 超级列表框_添加.
    MemberListModel* memberList() const { return m_list; }

    // Toolbar "会员管理": ends a running member-list load, then starts a new one.
    void restartListLoad();
    // Ends a running member-list load and card check, and waits for them, before the main
    // window goes away.
    void endListLoad();

    // The member-list load, run directly on the GUI thread (after a redemption, a modification
    // or a removal): waits for the card checks, cancels a worker load, then fills the list.
    void loadMemberListNow();

    // Waits until the member-list load on the worker has handed over its last rows, and applies
    // them: the list, label and progress bar then show the load's end.
    void finishListLoad();

    // Waits for the card checks still running and applies their results to the page, so that
    // a GUI-thread operation sees the page as the last check leaves it.
    void settleCardChecks();

    // Empties the card, name, phone, amount and count boxes and the card type. The gender,
    // the date, enabled states, the mode and the recognised member are left as they are.
    void resetAddPage();

    // The page's procedures, as its events run them.
    void checkCardNumber(); // Enter in the card box
    void addOrTopUp();      // 按钮_添加会员, Enter in the amount box
    void redeemPoints();    // 按钮_刷积分, Enter in 编辑框_刷积分
    void selectCardType();  // an item of 组合框_入类型 chosen

    // What 按钮_会员信息修改 and 按钮_注销会员 open; nothing while unset.
    void setDialogOpeners(std::function<void()> modify, std::function<void()> cancel);

    // Captions of 按钮_添加会员: the page's mode.
    static const QString kAddCaption;   // "添加会员"
    static const QString kTopUpCaption; // "会员充值"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startListLoad();
    // The card check's body on the worker thread, and what it hands to the GUI thread.
    void runCardCheck(unsigned generation, const QString& card, const std::atomic<bool>& cancelled);
    void showRecognised(const members::RecognisedMember& member, int count);
    void showUnknownCard(int count);
    bool isCurrentCheck(unsigned generation) const;
    // Writes the member and shows the summary; shows the failure and returns false otherwise.
    bool writeNewMember(const members::NewMember& member);
    // Runs what the page's worker tasks have handed over and the GUI has not run yet.
    void flushHandOvers();

    std::unique_ptr<Ui::AddPage> m_ui;
    MemberListModel* m_list = nullptr;
    std::unique_ptr<ListLoader> m_loader;
    std::unique_ptr<TaskTracker> m_cardChecks;
    std::function<void()> m_openModify;
    std::function<void()> m_openCancel;
};

} // namespace quorvel
