#pragma once
// Fills the add page's member list from the member table: on the member worker (toolbar, after
// an addition or a top-up) or directly on the GUI thread (after a redemption, a modification, a
// removal). Rows are read in batches, each under one hold of the store's lock, and handed to the
// GUI thread a batch at a time, so neither thread waits long for the other.
//
// Two fills never run at once: starting a load cancels the one before, and the GUI updates of a
// cancelled load are ignored (MemberWorker's ListLoad generation).
#include "members/MemberListModel.h"
#include "members/MemberWorker.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <memory>
#include <mutex>

class QLabel;
class QObject;
class QProgressBar;
class QWidget;

namespace quorvel {

// Counts the worker tasks one owner has posted, so the owner can wait for them. A tracked task
// counts until it has run, or until the worker drops it unrun (cancelled, or the worker stopping).
class TaskTracker {
public:
    TaskTracker();
    MemberWorker::Task track(MemberWorker::Task task);
    // Blocks until every tracked task has run or was dropped. Never call it holding the store's
    // lock: the tasks take it.
    void wait();
    bool isIdle() const;
    // How many tasks were ever tracked.
    unsigned long long trackedCount() const;

private:
    struct State {
        mutable std::mutex mutex;
        std::condition_variable done;
        int pending = 0;
        unsigned long long tracked = 0;
    };
    std::shared_ptr<State> m_state;
};

inline const QString kLoadingText = QStringLiteral("正在加载数据，请稍候操作");
inline const QString kEmptyTableText = QStringLiteral("添加一位会员试试吧！！");
inline const QString kLoadedText = QStringLiteral("已加载数据完成");

class ListLoader {
public:
    struct Widgets {
        MemberListModel* list = nullptr;
        QLabel* label = nullptr;
        QProgressBar* progress = nullptr;
        // Lives on the GUI thread: parent of the messages and receiver of the hand-overs.
        QWidget* page = nullptr;
    };

    // Rows read under one hold of the store's lock and handed over together.
    static constexpr int kBatchRows = 500;

    explicit ListLoader(const Widgets& widgets);
    // Cancels a running load and waits for it.
    ~ListLoader();
    ListLoader(const ListLoader&) = delete;
    ListLoader& operator=(const ListLoader&) = delete;

    // Cancels a running or queued load, then posts a new one to the worker.
    void start();
    // Cancels a running or queued load; its pending GUI updates will be ignored.
    void cancel();
    // cancel(), then blocks until the load's task has ended.
    void cancelAndWait();
    // Blocks until the load's posted tasks have ended (their hand-overs may still be queued).
    void wait() { m_tasks.wait(); }
    bool isPending() const { return !m_tasks.isIdle(); }
    // Grows by one with every task the loader posts (only ever from the GUI thread).
    unsigned long long postedTasks() const { return m_tasks.trackedCount(); }

    // The load on the GUI thread. The caller has already ended every worker task that fills the
    // list and applied what they handed over (see AddPage::loadMemberListNow). The GUI keeps
    // painting between batches; a load or card check started meanwhile ends this one.
    void loadNow();

private:
    struct Opened {
        QString failure; // message text; empty when the table is ready
        bool wasOpen = false;
        int count = 0;
    };
    struct Batch {
        QList<MemberListModel::Row> rows;
        int first = 0;      // record number of the first row
        int countAfter = 0; // the table's record count while the batch was read
        bool ended = false; // the table went away or shrank: no further batch
    };

    static Opened openTable();
    // Reads records from..to (at most kBatchRows) under one hold of the lock.
    static Batch readBatch(int from, int to);

    bool isCurrent(unsigned generation) const;
    // Empties the list and sets the label, unless the table was open already and the list
    // shows as many rows as it has records: then false, and nothing changes.
    bool beginFill(const Opened& opened);
    void applyBatch(const Batch& batch);
    void postRows(unsigned generation);

    Widgets m_w;
    TaskTracker m_tasks;
};

} // namespace quorvel
