#pragma once
// The network half of the update check: fetches the published descriptor on a worker thread and
// hands the outcome back to the thread that started it. What the operator sees is the caller's.
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace quorvel {

class FtpClient;

// Where the maker publishes the descriptor, and where the program keeps its copies (relative to
// the run directory): the fresh download and the last accepted one, whose version is current.
inline const QString kRemoteDescriptorPath = QStringLiteral("/软件更新/gx.ini");
inline const QString kDownloadedDescriptorName = QStringLiteral("gx.ini");
inline const QString kAcceptedDescriptorName = QStringLiteral("图片/gx.ini");

inline const QString kDescriptorSection = QStringLiteral("更新内容");
inline const QString kDescriptorVersionKey = QStringLiteral("版本号");
inline const QString kDescriptorDateKey = QStringLiteral("更新日期");
inline const QString kDescriptorNotesKey = QStringLiteral("更新信息");
inline const QString kDescriptorAddressKey = QStringLiteral("下载地址");

// A descriptor is a few lines of text; a larger download is refused so that a hostile server
// cannot fill the disk. The program's FTP client is created with this cap.
inline constexpr qint64 kMaxDescriptorBytes = 64 * 1024;

struct UpdateServer {
    QString host;
    int port = 21;
    QString user;
    QString password;

    // The build's settings, each replaced by its environment variable when that is set:
    // QUORVEL_UPDATE_HOST, QUORVEL_UPDATE_PORT, QUORVEL_UPDATE_USER, QUORVEL_UPDATE_PASSWORD.
    // A set but empty variable counts (an empty password is a real one); a port that is not a
    // number from 1 to 65535 is ignored.
    static UpdateServer configured();
};

// True when offered's number exceeds current's by more than the tolerance. Only the leading
// number of each text counts; a text without one is 0, so "1.10" is not newer than "1.9".
bool isNewerVersion(const QString& offered, const QString& current);

// Moves from onto to in one step, replacing what is there. On failure (a missing folder, say)
// to is left exactly as it was and from stays where it is.
bool replaceFile(const QString& from, const QString& to);

class UpdateCheck : public QObject {
    Q_OBJECT
  public:
    enum class Outcome {
        NotPublished,   // no connection, or no descriptor on the server
        DownloadFailed, // listed, but the download failed (refused, too large, timed out)
        Downloaded,     // the descriptor now lies at the download path
    };
    using Done = std::function<void(Outcome)>;

    explicit UpdateCheck(FtpClient& ftp, QObject* parent = nullptr);
    // Cancels a running fetch first.
    ~UpdateCheck() override;

    // Connects unless the client is connected already, then fetches the descriptor to
    // downloadPath, all on a new worker thread. done runs later on this object's thread, unless
    // the fetch is cancelled first. Refused (false, nothing happens) while a fetch runs.
    bool start(const UpdateServer& server, const QString& downloadPath, Done done);
    // From start() until done has been called or the fetch was cancelled.
    bool isRunning() const { return m_thread.joinable(); }
    // Ends a running fetch at once and waits for its thread; done is not called, and a
    // descriptor it already downloaded is deleted. The client is left aborted: close it.
    void cancel();

  private:
    Outcome fetch(const UpdateServer& server, const QString& downloadPath);
    void deliver(quint64 generation, Outcome outcome);

    FtpClient& m_ftp;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    quint64 m_generation = 0;
    Outcome m_outcome = Outcome::NotPublished; // written by the worker before m_finished
    QString m_downloadPath;
    Done m_done;
};

} // namespace quorvel
