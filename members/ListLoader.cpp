#include "members/ListLoader.h"

#include "config/Dialogs.h"
#include "members/MemberListModel.h"
#include "members/MemberTable.h"
#include "store/RecordStore.h"
#include "text/Gbk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>

namespace quorvel {

using namespace quorvel::members;

namespace {
// How long the GUI-thread load goes between two runs of the event loop.
constexpr qint64 kPaintIntervalMs = 25;
} // namespace

// --- TaskTracker ------------------------------------------------------------------------------

TaskTracker::TaskTracker() : m_state(std::make_shared<State>()) {}

MemberWorker::Task TaskTracker::track(MemberWorker::Task task) {
    // The token goes when the worker lets go of the task, run or not.
    struct Token {
        explicit Token(std::shared_ptr<State> s) : state(std::move(s)) {}
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        std::shared_ptr<State> state;
        ~Token() {
            std::lock_guard lock(state->mutex);
            if (--state->pending == 0)
                state->done.notify_all();
        }
    };
    {
        std::lock_guard lock(m_state->mutex);
        ++m_state->pending;
        ++m_state->tracked;
    }
    auto token = std::make_shared<Token>(m_state);
    return [token, task = std::move(task)](const std::atomic<bool>& cancelled) { task(cancelled); };
}

void TaskTracker::wait() {
    std::unique_lock lock(m_state->mutex);
    m_state->done.wait(lock, [this] { return m_state->pending == 0; });
}

unsigned long long TaskTracker::trackedCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->tracked;
}

bool TaskTracker::isIdle() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->pending == 0;
}

// --- ListLoader -------------------------------------------------------------------------------

ListLoader::ListLoader(const Widgets& widgets) : m_w(widgets) {}

ListLoader::~ListLoader() {
    cancelAndWait();
}

bool ListLoader::isCurrent(unsigned generation) const {
    return MemberWorker::instance().generation(MemberWorker::Kind::ListLoad) == generation;
}

ListLoader::Opened ListLoader::openTable() {
    Opened opened;
    const QString path = memberTablePath();
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (!QFile::exists(path)) {
        opened.failure = kTableMissing;
        return opened;
    }
    opened.wasOpen = store.isOpen(path) && store.currentFile().compare(path, Qt::CaseInsensitive) == 0;
    const OpenResult result = openMemberTableQuietly();
    if (result != OpenResult::Ready) {
        opened.failure = openFailureText(result);
        return opened;
    }
    opened.count = store.recordCount();
    return opened;
}

ListLoader::Batch ListLoader::readBatch(int from, int to) {
    Batch batch;
    batch.first = from;
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    // Another operation may have made its own table current between two batches.
    if (openMemberTableQuietly() != OpenResult::Ready) {
        batch.ended = true;
        return batch;
    }
    // Columns 1..10 of the member list: these fields, found by name once a batch.
    static const QString* const kListFields[] = {&kFieldCard,    &kFieldName,     &kFieldGender, &kFieldPhone,
                                                 &kFieldType,    &kFieldVisits,   &kFieldBalance,
                                                 &kFieldOperator, &kFieldPoints, &kFieldSignUp};
    const QList<FieldDef> fields = store.fields();
    int columns[std::size(kListFields)];
    for (size_t c = 0; c < std::size(kListFields); ++c) {
        columns[c] = -1;
        for (int f = 0; f < fields.size(); ++f)
            if (fields[f].name.compare(*kListFields[c], Qt::CaseInsensitive) == 0)
                columns[c] = f;
    }
    batch.rows.reserve(to - from + 1);
    // One statement for the whole batch, not a go-to and ten reads per record.
    const bool read = store.readRecords(from, to, [&](int record, std::span<const QByteArrayView> values) {
        MemberListModel::Row row;
        row.append(QString::number(record - 1));
        for (const int f : columns)
            row.append(f < 0 ? QString() : fromGbk(values[f].data(), values[f].size()));
        batch.rows.append(std::move(row));
    });
    if (!read || batch.rows.size() != to - from + 1)
        batch.ended = true;
    batch.countAfter = store.recordCount();
    return batch;
}

bool ListLoader::beginFill(const Opened& opened) {
    if (opened.wasOpen) {
        if (m_w.list->rowCount() == opened.count)
            return false;
        m_w.list->clear();
        m_w.label->setText(kLoadingText);
    } else {
        m_w.list->clear();
        m_w.label->setText(opened.count > 0 ? kLoadingText : kEmptyTableText);
    }
    m_w.progress->setValue(0);
    return true;
}

void ListLoader::applyBatch(const Batch& batch) {
    if (batch.rows.isEmpty())
        return;
    m_w.list->appendRows(batch.rows);
    const int n = int(batch.rows.size());
    // The maximum follows the table's count; each row moves the position on by one.
    m_w.progress->setMaximum(batch.countAfter);
    m_w.progress->setValue(std::max(m_w.progress->value(), 0) + n);
    const int last = batch.first + n - 1;
    if (batch.countAfter >= batch.first && batch.countAfter <= last)
        m_w.label->setText(kLoadedText);
}

void ListLoader::start() {
    MemberWorker& worker = MemberWorker::instance();
    worker.cancel(MemberWorker::Kind::ListLoad);
    const unsigned generation = worker.generation(MemberWorker::Kind::ListLoad);
    worker.post(MemberWorker::Kind::ListLoad,
                m_tasks.track([this, generation](const std::atomic<bool>& cancelled) {
                    if (cancelled)
                        return;
                    const Opened opened = openTable();
                    // Whether the list is rebuilt depends on its row count, which only the GUI
                    // thread knows once everything handed over before has been applied.
                    MemberWorker::toGui(m_w.page, [this, generation, opened] {
                        if (!isCurrent(generation))
                            return;
                        if (!opened.failure.isEmpty()) {
                            showMessage(m_w.page, opened.failure);
                            return;
                        }
                        if (beginFill(opened))
                            postRows(generation);
                    });
                }));
}

void ListLoader::postRows(unsigned generation) {
    MemberWorker::instance().post(
        MemberWorker::Kind::ListLoad, m_tasks.track([this, generation](const std::atomic<bool>& cancelled) {
            int count = 0;
            {
                RecordStore& store = RecordStore::instance();
                RecordStore::Lock lock(store);
                if (openMemberTableQuietly() != OpenResult::Ready)
                    return;
                count = store.recordCount();
            }
            for (int from = 1; from <= count && !cancelled;) {
                const int to = std::min(count, from + kBatchRows - 1);
                Batch batch = readBatch(from, to);
                const bool ended = batch.ended;
                MemberWorker::toGui(m_w.page, [this, generation, batch = std::move(batch)] {
                    if (isCurrent(generation))
                        applyBatch(batch);
                });
                if (ended)
                    return;
                from = to + 1;
            }
        }));
}

void ListLoader::cancel() {
    MemberWorker::instance().cancel(MemberWorker::Kind::ListLoad);
}

void ListLoader::cancelAndWait() {
    cancel();
    m_tasks.wait();
}

void ListLoader::loadNow() {
    const unsigned generation = MemberWorker::instance().generation(MemberWorker::Kind::ListLoad);
    const QPointer<QWidget> page(m_w.page);
    const Opened opened = openTable();
    if (!opened.failure.isEmpty()) {
        showMessage(m_w.page, opened.failure);
        return;
    }
    if (!beginFill(opened))
        return;
    int count = 0;
    {
        RecordStore& store = RecordStore::instance();
        RecordStore::Lock lock(store);
        if (openMemberTableQuietly() != OpenResult::Ready)
            return;
        count = store.recordCount();
    }
    QElapsedTimer sincePaint;
    sincePaint.start();
    for (int from = 1; from <= count;) {
        const int to = std::min(count, from + kBatchRows - 1);
        const Batch batch = readBatch(from, to);
        applyBatch(batch);
        if (batch.ended)
            return;
        from = to + 1;
        if (from > count)
            break;
        // Keep painting, though not after every batch: a paint of the list costs about as much
        // as reading a batch. The operator's input waits until the list is complete.
        if (sincePaint.elapsed() < kPaintIntervalMs)
            continue;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sincePaint.restart();
        if (!page || !isCurrent(generation))
            return;
    }
}

} // namespace quorvel
