#pragma once
// One background thread for the member lists' slow work: list loads, card checks, queries.
// Tasks run one at a time in the order they were posted, so two of them never fill a list or
// move the store's current record at the same time. Tasks never touch widgets: they hand
// their updates to the GUI thread with toGui(), which keeps their order.
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvel {

class MemberWorker {
public:
    enum class Kind { ListLoad, CardCheck, Query, Other };

    // A task tests the flag between records and returns early once it is set.
    using Task = std::function<void(const std::atomic<bool>& cancelled)>;

    MemberWorker();
    ~MemberWorker();
    MemberWorker(const MemberWorker&) = delete;
    MemberWorker& operator=(const MemberWorker&) = delete;

    static MemberWorker& instance();

    void post(Kind kind, Task task);
    // Ends the running task of that kind at its next check and drops queued ones. Also bumps
    // generation(kind), so GUI updates the ended task had already handed over can be ignored.
    void cancel(Kind kind);
    unsigned generation(Kind kind) const;
    // Blocks until nothing is queued or running.
    void waitIdle();
    bool isIdle() const;
    // True while a task of that kind is queued or running.
    bool isPending(Kind kind) const;

    // Runs fn on the thread of context (the GUI thread for widgets), after what was handed
    // over before; dropped when context is gone.
    static void toGui(QObject* context, std::function<void()> fn);

private:
    struct Entry {
        Kind kind;
        Task task;
    };
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Entry> m_queue;
    bool m_running = false;
    Kind m_runningKind = Kind::Other;
    bool m_stop = false;
    std::atomic<bool> m_cancelRunning{false};
    std::atomic<unsigned> m_generations[4] = {0, 0, 0, 0};
    std::thread m_thread;
};

} // namespace quorvel
