#pragma once
// FTP session used by the update check: one object holds one logged-in connection.
// Remote paths and names travel as GBK; "\" and "/" are both accepted as separators.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

typedef void CURL;

namespace quorvel {

namespace detail {
struct FtpTransfer;
}

// One line of a directory listing.
struct FtpEntry {
    QString name;
    int attributes = 0; // FtpClient::Attr* bits
    qint64 size = 0;
    double time = 0.0; // last write, OLE automation date, as the server reports it
};

// Parses one line of LIST output (Unix "ls -l" or DOS/IIS style). Returns false for lines that
// describe no entry ("total 12", blanks, garbage). Unix lines with a time but no year get the
// latest year that does not put them more than a day after `today`.
bool parseListingLine(const QByteArray& line, FtpEntry& entry, const QDate& today = QDate::currentDate());

// Parses one line of MLSD output ("fact=value;...; name"). The current and parent directory
// entries (type=cdir/pdir) are not entries and return false.
bool parseMlsdLine(const QByteArray& line, FtpEntry& entry);

// Case-insensitive (ASCII) match of * and ? wildcards; "*.*" matches every name.
bool matchesFtpPattern(const QString& name, const QString& pattern);

struct FtpTimeouts {
    int connectMs = 10000;
    int lowSpeedSeconds = 15; // abort when below 1 byte/s for this long
    int operationMs = 60000;  // whole operation, transfer included
};

class FtpClient {
  public:
    enum Attributes { AttrReadOnly = 1, AttrDirectory = 16, AttrNormal = 128 };
    static constexpr int DefaultMask = 183;
    static constexpr qint64 DefaultMaxFileSize = 64LL * 1024 * 1024;
    static constexpr int MaxListingEntries = 100000;
    static constexpr int MaxDirectoryDepth = 16;

    // maxFileSize caps every single downloaded file; larger ones fail and leave nothing behind.
    explicit FtpClient(qint64 maxFileSize = DefaultMaxFileSize);
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    void setTimeouts(const FtpTimeouts& timeouts);
    FtpTimeouts timeouts() const;

    // Ends a running transfer at once and makes every later operation fail until the next
    // connect(). Safe from any thread.
    void requestAbort();

    // Operations run one at a time; a second thread waits for the first to finish.
    bool isConnected() const { return m_connected.load(); }
    bool connect(const QString& host, const QString& user = QStringLiteral("anonymous"),
                 const QString& password = QString(), int port = 21);
    bool close();

    bool createDirectory(const QString& path);
    bool removeDirectory(const QString& path);
    bool setCurrentDirectory(const QString& path);
    QString getCurrentDirectory();
    bool deleteFile(const QString& path);
    bool renameFile(const QString& oldPath, const QString& newPath);

    // Downloads replace local only once complete. ASCII transfers (TYPE A) use local LF line ends.
    bool getFile(const QString& remote, const QString& local, bool ascii = false);
    bool putFile(const QString& local, const QString& remote, int type = 0); // 1 = ASCII, else binary

    // Lists entries matching pattern whose attributes share a bit with mask; names beginning
    // with "." are left out. Returns the number of names.
    int listDirectory(const QString& pattern, int mask, QStringList& names, QList<int>& attributes,
                      QList<qint64>& sizes, QList<double>& times);
    int listDirectory(const QString& pattern, QStringList& names, QList<int>& attributes,
                      QList<qint64>& sizes, QList<double>& times) {
        return listDirectory(pattern, DefaultMask, names, attributes, sizes, times);
    }

    int getFileAttributes(const QString& path);
    int getDirectoryAttributes(const QString& path);
    double getFileTime(const QString& path);
    double getDirectoryTime(const QString& path);
    bool fileExists(const QString& path);
    bool directoryExists(const QString& path);
    qint64 getFileSize(const QString& path);
    qint64 getDirectorySize(const QString& path);

    // Refuses the whole download when the server sends a name that is not a plain file name,
    // a listing over MaxListingEntries or folders nested deeper than MaxDirectoryDepth.
    bool downloadDirectory(const QString& remoteDir, const QString& localDir, bool ascii = false);
    bool uploadDirectory(const QString& localDir, const QString& remoteDir, bool ascii = false);

    // Text of the last failure, for logs.
    QString lastError() const;

    static QString trimSlashes(QString text);
    static QString toLowerText(QString text);
    static QString bytesToText(const QByteArray& bytes);
    static double fileTimeToDateTime(quint64 windowsFileTime);
    static double dateTimeToOle(const QDateTime& dateTime);

  private:
    bool perform(detail::FtpTransfer& transfer);
    bool quote(const QList<QByteArray>& commands);
    bool listRaw(const QString& absDir, QList<FtpEntry>& entries);
    bool listPattern(const QString& pattern, QList<FtpEntry>& entries);
    bool lookup(const QString& path, bool directory, int mask, FtpEntry& found);
    bool downloadTo(const QString& absRemote, const QString& local, bool ascii);
    bool downloadTree(const QString& absRemote, const QString& local, bool ascii, int depth);
    bool uploadTree(const QString& local, const QString& remote, bool ascii, int depth);
    qint64 directorySize(const QString& absDir, int depth);
    QString resolve(const QString& path) const;
    QByteArray urlFor(const QString& absPath, bool directory) const;
    bool usable();
    void closeUnlocked();
    void fail(const QString& message);

    mutable std::recursive_mutex m_mutex;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_abort{false};
    CURL* m_curl = nullptr;
    QByteArray m_base; // "ftp://host:port/"
    QByteArray m_user;
    QByteArray m_password;
    QString m_cwd = QStringLiteral("/");
    bool m_mlsd = false;
    qint64 m_maxFileSize;
    FtpTimeouts m_timeouts;
    QString m_lastError;
};

} // namespace quorvel
