#include "members/MemberWorker.h"

#include <QMetaObject>
#include <QPointer>

// Qt's event queue orders a queued call before it runs, but Qt is not built with ThreadSanitizer,
// which then takes the call's closure, written here and read on the receiving thread, for a
// race. Under TSan only, this thread's own accesses while posting are left out of its records.
#if defined(__SANITIZE_THREAD__)
#define QUORVEL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVEL_TSAN 1
#endif
#endif
#ifdef QUORVEL_TSAN
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif
namespace {
struct PostingToQueue {
#ifdef QUORVEL_TSAN
    PostingToQueue() { __tsan_ignore_thread_begin(); }
    ~PostingToQueue() { __tsan_ignore_thread_end(); }
#endif
};
} // namespace

namespace quorvel {

MemberWorker::MemberWorker() : m_thread([this] { run(); }) {}

MemberWorker::~MemberWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
        m_cancelRunning = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

MemberWorker& MemberWorker::instance() {
    static MemberWorker worker;
    return worker;
}

void MemberWorker::post(Kind kind, Task task) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        m_queue.push_back(Entry{kind, std::move(task)});
    }
    m_wake.notify_one();
}

void MemberWorker::cancel(Kind kind) {
    std::lock_guard lock(m_mutex);
    m_generations[int(kind)]++;
    std::erase_if(m_queue, [kind](const Entry& e) { return e.kind == kind; });
    if (m_running && m_runningKind == kind)
        m_cancelRunning = true;
    if (!m_running && m_queue.empty())
        m_idle.notify_all();
}

unsigned MemberWorker::generation(Kind kind) const {
    return m_generations[int(kind)].load();
}

void MemberWorker::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_running && m_queue.empty(); });
}

bool MemberWorker::isIdle() const {
    std::lock_guard lock(m_mutex);
    return !m_running && m_queue.empty();
}

bool MemberWorker::isPending(Kind kind) const {
    std::lock_guard lock(m_mutex);
    if (m_running && m_runningKind == kind)
        return true;
    for (const Entry& e : m_queue)
        if (e.kind == kind)
            return true;
    return false;
}

void MemberWorker::run() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            entry = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = true;
            m_runningKind = entry.kind;
            m_cancelRunning = false;
        }
        entry.task(m_cancelRunning);
        {
            std::lock_guard lock(m_mutex);
            m_running = false;
            if (m_queue.empty())
                m_idle.notify_all();
        }
    }
}

void MemberWorker::toGui(QObject* context, std::function<void()> fn) {
    QPointer<QObject> guard(context);
    PostingToQueue posting;
    QMetaObject::invokeMethod(
        context,
        [guard, fn = std::move(fn)] {
            if (guard)
                fn();
        },
        Qt::QueuedConnection);
}

} // namespace quorvel
