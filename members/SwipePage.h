#pragma once
// The "刷卡记录" page: card swipes and member queries.
//
// Every swipe handler runs on the GUI thread and holds the store's lock from the lookup to the
// committed writes, with no event loop in between, so a list load, a card check or a query on
// the worker can neither move the current record under a charge nor let one card be charged
// twice by a race. Message boxes come only after the lock is released.
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "store/RecordStore.h"

namespace Ui {
class SwipePage;
}

namespace quorvel {

class MemberListModel;

class SwipePage : public QWidget {
    Q_OBJECT
public:
    explicit SwipePage(QWidget* parent = nullptr);
    ~SwipePage() override;
    Ui::SwipePage& ui() { return *m_ui; }
    MemberListModel& swipeList() { return *m_list; }

    // Enter in the card-number box: lookup, and the automatic count charge when it is on.
    void swipeLookup();
    // The manual swipe button, or Enter in the amount box.
    void manualSwipe();
    // The query button, or Enter in the query box: posts the query to the member worker and
    // moves the focus to the card-number box at once.
    void memberQuery();

    // Appends a row to the swipe list: column 0 the number text of value, then the member's
    // ten list cells (the swipe list's columns 1..10).
    void appendSwipeRow(double value, const QStringList& cells);

private:
    enum class Charge { Charged, Refused, WriteFailed };
    using LockSlot = std::optional<RecordStore::Lock>;

    // Both run on the current record with the lock held in lock; they release it before any
    // message. On Charged the record's new list cells are in *cells.
    Charge chargeVisits(LockSlot& lock, const QString& refusal, QStringList* cells);
    Charge chargeAmount(LockSlot& lock, QStringList* cells);

    void fillMemberBoxes(const RecordStore& store);
    void clearMemberBoxes();
    void onAutoSwipeClicked(bool checked);

    // The query's updates, run on the GUI thread strictly one after another in the order the
    // worker handed them over, even while one of them shows a message box.
    void queueQueryStep(std::function<void()> step);
    void runQueryStepsInOrder();

    struct Relay;

    std::unique_ptr<Ui::SwipePage> m_ui;
    MemberListModel* m_list = nullptr;
    std::shared_ptr<Relay> m_relay;
    std::deque<std::function<void()>> m_querySteps;
    bool m_runningQuerySteps = false;
};

} // namespace quorvel
