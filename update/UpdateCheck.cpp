#include "update/UpdateCheck.h"

#include "text/Numbers.h"
#include "update/FtpClient.h"

#include <QFile>
#include <QMetaObject>

#include <chrono>
#include <filesystem>
#include <system_error>


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

namespace {

QString fromEnvironment(const char* name, const QString& fallback) {
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariable(name) : fallback;
}

int portFrom(const QString& text, int fallback) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : fallback;
}

std::filesystem::path nativePath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), size_t(bytes.size())));
}

} // namespace

UpdateServer UpdateServer::configured() {
    UpdateServer server;
    server.host = fromEnvironment("QUORVEL_UPDATE_HOST", QStringLiteral(QUORVEL_UPDATE_HOST));
    server.port = portFrom(QStringLiteral(QUORVEL_UPDATE_PORT), 21);
    if (qEnvironmentVariableIsSet("QUORVEL_UPDATE_PORT"))
        server.port = portFrom(qEnvironmentVariable("QUORVEL_UPDATE_PORT"), server.port);
    server.user = fromEnvironment("QUORVEL_UPDATE_USER", QStringLiteral(QUORVEL_UPDATE_USER));
    server.password = fromEnvironment("QUORVEL_UPDATE_PASSWORD", QStringLiteral(QUORVEL_UPDATE_PASSWORD));
    return server;
}

bool isNewerVersion(const QString& offered, const QString& current) {
    return textToNumber(offered) - textToNumber(current) > kTolerance;
}

bool replaceFile(const QString& from, const QString& to) {
    // rename() swaps the target in one step, so a failure can never leave it half replaced.
    std::error_code error;
    std::filesystem::rename(nativePath(from), nativePath(to), error);
    return !error;
}

UpdateCheck::UpdateCheck(FtpClient& ftp, QObject* parent) : QObject(parent), m_ftp(ftp) {}

UpdateCheck::~UpdateCheck() {
    cancel();
}

bool UpdateCheck::start(const UpdateServer& server, const QString& downloadPath, Done done) {
    if (m_thread.joinable())
        return false;
    m_cancel.store(false);
    m_finished.store(false);
    m_outcome = Outcome::NotPublished;
    m_downloadPath = downloadPath;
    m_done = std::move(done);
    const quint64 generation = ++m_generation;
    try {
        m_thread = std::thread([this, server, downloadPath, generation] {
            m_outcome = fetch(server, downloadPath);
            const Outcome outcome = m_outcome;
            // Queued to this object: dropped if it is gone, ignored if it was cancelled.
            {
                PostingToQueue posting;
                QMetaObject::invokeMethod(
                    this, [this, generation, outcome] { deliver(generation, outcome); }, Qt::QueuedConnection);
            }
            m_finished.store(true);
        });
    } catch (const std::system_error&) {
        m_done = nullptr;
        return false;
    }
    return true;
}

UpdateCheck::Outcome UpdateCheck::fetch(const UpdateServer& server, const QString& downloadPath) {
    // A failed connect is not examined: the lookup below then finds nothing.
    if (!m_cancel.load() && !m_ftp.isConnected())
        m_ftp.connect(server.host, server.user, server.password, server.port);
    if (m_cancel.load() || !m_ftp.fileExists(kRemoteDescriptorPath))
        return Outcome::NotPublished;
    if (m_cancel.load() || !m_ftp.getFile(kRemoteDescriptorPath, downloadPath, false))
        return Outcome::DownloadFailed;
    return Outcome::Downloaded;
}

void UpdateCheck::deliver(quint64 generation, Outcome outcome) {
    if (generation != m_generation || !m_thread.joinable())
        return;
    m_thread.join();
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(outcome);
}

void UpdateCheck::cancel() {
    if (!m_thread.joinable())
        return;
    m_cancel.store(true);
    // connect() clears the client's abort request, so keep asking until the worker is done.
    while (!m_finished.load()) {
        m_ftp.requestAbort();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_thread.join();
    ++m_generation; // the outcome already queued is now stale
    m_done = nullptr;
    if (m_outcome == Outcome::Downloaded)
        QFile::remove(m_downloadPath);
}

} // namespace quorvel
