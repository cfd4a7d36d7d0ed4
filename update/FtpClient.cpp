#include "update/FtpClient.h"

#include "text/Gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace quorvel {

namespace {

// Days from 1601-01-01 (file time epoch) to 1899-12-30 (OLE epoch).
constexpr qint64 FileTimeToOleDays = 109205;
constexpr quint64 FileTimeTicksPerSecond = 10000000ULL;
// A listing larger than this is not a directory the update server would send.
constexpr qsizetype MaxListingBytes = 64LL * 1024 * 1024;

void initCurlOnce() {
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)done;
}

// An OLE date keeps the day in the integer part and the time of day as a positive fraction,
// also before 1899-12-30 (-1.25 is 1899-12-29 06:00).
double oleFromParts(qint64 dayOffset, double dayFraction) {
    return dayOffset >= 0 ? double(dayOffset) + dayFraction : double(dayOffset) - dayFraction;
}

double oleFrom(const QDate& date, const QTime& time) {
    if (!date.isValid())
        return 0.0;
    const qint64 days = QDate(1899, 12, 30).daysTo(date);
    const double fraction = time.isValid() ? time.msecsSinceStartOfDay() / 86400000.0 : 0.0;
    return oleFromParts(days, fraction);
}

int monthFromName(QStringView token) {
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() != 3)
        return 0;
    const QString lower = token.toString().toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower == QLatin1String(names[i]))
            return i + 1;
    }
    return 0;
}

bool allDigits(QStringView token) {
    if (token.isEmpty())
        return false;
    return std::all_of(token.begin(), token.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

struct Token {
    qsizetype start;
    qsizetype end;
};

QList<Token> tokenize(const QString& line, int maxTokens) {
    QList<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && tokens.size() < maxTokens) {
        while (i < n && line[i].isSpace())
            ++i;
        if (i >= n)
            break;
        const qsizetype start = i;
        while (i < n && !line[i].isSpace())
            ++i;
        tokens.append({start, i});
    }
    return tokens;
}

QString restAfter(const QString& line, qsizetype pos) {
    while (pos < line.size() && line[pos].isSpace())
        ++pos;
    return line.mid(pos);
}

bool parseUnixLine(const QString& line, FtpEntry& entry, const QDate& today) {
    const QList<Token> t = tokenize(line, 10);
    if (t.size() < 6)
        return false;
    auto tok = [&](int i) { return QStringView(line).mid(t[i].start, t[i].end - t[i].start); };
    const QStringView perms = tok(0);
    if (perms.size() < 10 || !QStringLiteral("-dlbcps").contains(perms[0]))
        return false;

    // Owner and group columns are optional on some servers: find "size Mon DD time|year".
    for (int m = 2; m + 2 < t.size() && m <= 6; ++m) {
        const int month = monthFromName(tok(m));
        if (!month || !allDigits(tok(m - 1)) || !allDigits(tok(m + 1)))
            continue;
        const int day = tok(m + 1).toInt();
        const QStringView when = tok(m + 2);
        QDate date;
        QTime time(0, 0);
        const qsizetype colon = when.indexOf(u':');
        if (colon > 0) {
            time = QTime(when.left(colon).toInt(), when.mid(colon + 1).toInt());
            if (!time.isValid())
                continue;
            const int year = today.isValid() ? today.year() : QDate::currentDate().year();
            date = QDate(year, month, day);
            // Without a year, ls means the last twelve months.
            if (!date.isValid() || (today.isValid() && date > today.addDays(1)))
                date = QDate(year - 1, month, day);
        } else if (allDigits(when) && when.size() == 4) {
            date = QDate(when.toInt(), month, day);
        } else {
            continue;
        }
        if (!date.isValid())
            continue;
        QString name = restAfter(line, t[m + 2].end);
        if (perms[0] == u'l') {
            const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
            if (arrow >= 0)
                name.truncate(arrow);
        }
        if (name.isEmpty())
            return false;
        bool ok = false;
        const qint64 size = tok(m - 1).toLongLong(&ok);
        if (!ok)
            return false;
        entry.name = name;
        entry.size = size;
        entry.attributes = perms[0] == u'd' ? FtpClient::AttrDirectory : FtpClient::AttrNormal;
        if (perms[2] != u'w')
            entry.attributes |= FtpClient::AttrReadOnly;
        entry.time = oleFrom(date, time);
        return true;
    }
    return false;
}

bool parseDosLine(const QString& line, FtpEntry& entry) {
    // "MM-DD-YY  HH:MMAM  <DIR>  name" or "... size name"; IIS may also print 4-digit years and 24 h.
    const QList<Token> t = tokenize(line, 4);
    if (t.size() < 4)
        return false;
    auto tok = [&](int i) { return QStringView(line).mid(t[i].start, t[i].end - t[i].start); };
    const QStringView d = tok(0);
    const QList<QStringView> dateParts = d.split(u'-');
    if (dateParts.size() != 3 || !allDigits(dateParts[0]) || !allDigits(dateParts[1]) ||
        !allDigits(dateParts[2]))
        return false;
    int year = dateParts[2].toInt();
    if (dateParts[2].size() == 2)
        year += year < 70 ? 2000 : 1900;
    else if (dateParts[2].size() != 4)
        return false;
    const QDate date(year, dateParts[0].toInt(), dateParts[1].toInt());

    QString clock = tok(1).toString().toUpper();
    int sizeToken = 2;
    QString ampm;
    if (clock.endsWith(QLatin1String("AM")) || clock.endsWith(QLatin1String("PM"))) {
        ampm = clock.right(2);
        clock.chop(2);
    } else if (tok(2).compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0 ||
               tok(2).compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0) {
        return false; // "03:45 PM" splits the columns differently; not an IIS layout
    }
    const qsizetype colon = clock.indexOf(u':');
    if (colon <= 0)
        return false;
    int hour = clock.left(colon).toInt();
    const int minute = clock.mid(colon + 1).toInt();
    if (!ampm.isEmpty()) {
        if (hour < 1 || hour > 12)
            return false;
        hour %= 12;
        if (ampm == QLatin1String("PM"))
            hour += 12;
    }
    const QTime time(hour, minute);
    if (!date.isValid() || !time.isValid())
        return false;

    const QStringView sizeOrDir = tok(sizeToken);
    const QString name = restAfter(line, t[sizeToken].end);
    if (name.isEmpty())
        return false;
    if (sizeOrDir.compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0) {
        entry.attributes = FtpClient::AttrDirectory;
        entry.size = 0;
    } else if (allDigits(sizeOrDir)) {
        bool ok = false;
        entry.size = sizeOrDir.toLongLong(&ok);
        if (!ok)
            return false;
        entry.attributes = FtpClient::AttrNormal;
    } else {
        return false;
    }
    entry.name = name;
    entry.time = oleFrom(date, time);
    return true;
}

QDateTime parseMlsdTime(const QByteArray& value) {
    // YYYYMMDDHHMMSS[.sss]
    if (value.size() < 14)
        return {};
    for (int i = 0; i < 14; ++i) {
        if (value[i] < '0' || value[i] > '9')
            return {};
    }
    auto num = [&](int pos, int len) { return value.mid(pos, len).toInt(); };
    int ms = 0;
    if (value.size() > 15 && value[14] == '.') {
        QByteArray frac = value.mid(15, 3);
        while (frac.size() < 3)
            frac.append('0');
        bool ok = false;
        ms = frac.toInt(&ok);
        if (!ok)
            ms = 0;
    }
    const QDate date(num(0, 4), num(4, 2), num(6, 2));
    const QTime time(num(8, 2), num(10, 2), num(12, 2), ms);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QString lastComponent(const QString& path) {
    const QString trimmed = FtpClient::trimSlashes(path);
    const qsizetype cut = std::max(trimmed.lastIndexOf(u'/'), trimmed.lastIndexOf(u'\\'));
    return trimmed.mid(cut + 1);
}

// A name the server sends is only ever used as one path component.
bool isSafeEntryName(const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

bool isInside(const QString& child, const QString& root) {
    const QString r = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    const QString c = QDir::cleanPath(QFileInfo(child).absoluteFilePath());
    return c.startsWith(r + u'/') && c.size() > r.size() + 1;
}

bool wildcardMatch(const QString& text, const QString& pattern) {
    qsizetype t = 0, p = 0, star = -1, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool parseListingLine(const QByteArray& line, FtpEntry& entry, const QDate& today) {
    QByteArray bytes = line;
    while (bytes.endsWith('\r') || bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.isEmpty() || bytes.contains('\0'))
        return false;
    // GBK trail bytes are never ASCII spaces or digits, so decoding first keeps the columns.
    const QString text = fromGbk(bytes);
    FtpEntry parsed;
    if (!parseUnixLine(text, parsed, today) && !parseDosLine(text, parsed))
        return false;
    entry = parsed;
    return true;
}

bool parseMlsdLine(const QByteArray& line, FtpEntry& entry) {
    QByteArray bytes = line;
    while (bytes.endsWith('\r') || bytes.endsWith('\n'))
        bytes.chop(1);
    const qsizetype space = bytes.indexOf(' ');
    if (space <= 0 || space + 1 >= bytes.size() || bytes.contains('\0'))
        return false;
    const QByteArray facts = bytes.left(space);
    const QByteArray nameBytes = bytes.mid(space + 1);

    FtpEntry parsed;
    parsed.attributes = FtpClient::AttrNormal;
    bool haveType = false;
    for (const QByteArray& fact : facts.split(';')) {
        const qsizetype eq = fact.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = fact.left(eq).toLower();
        const QByteArray value = fact.mid(eq + 1);
        if (key == "type") {
            const QByteArray type = value.toLower();
            if (type == "cdir" || type == "pdir")
                return false;
            parsed.attributes = type == "dir" ? FtpClient::AttrDirectory : FtpClient::AttrNormal;
            haveType = true;
        } else if (key == "size" || key == "sizd") {
            bool ok = false;
            const qint64 size = value.toLongLong(&ok);
            if (ok && size >= 0)
                parsed.size = size;
        } else if (key == "modify") {
            const QDateTime when = parseMlsdTime(value);
            if (when.isValid())
                parsed.time = FtpClient::dateTimeToOle(when);
        } else if (key == "unix.mode") {
            QByteArray mode = value;
            if (mode.startsWith("0o"))
                mode = mode.mid(2);
            bool ok = false;
            const int bits = mode.toInt(&ok, 8);
            if (ok && !(bits & 0200))
                parsed.attributes |= FtpClient::AttrReadOnly;
        }
    }
    if (!haveType)
        return false;
    parsed.name = fromGbk(nameBytes);
    if (parsed.name.isEmpty())
        return false;
    entry = parsed;
    return true;
}

bool matchesFtpPattern(const QString& name, const QString& pattern) {
    if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*"))
        return true;
    return wildcardMatch(FtpClient::toLowerText(name), FtpClient::toLowerText(pattern));
}

// ---------------------------------------------------------------------------------------------

struct detail::FtpTransfer {
    QByteArray url;
    bool noBody = false;
    QList<QByteArray> quote;
    QByteArray customRequest;
    bool ascii = false;
    QByteArray* buffer = nullptr; // listing text
    QIODevice* sink = nullptr;    // downloaded file
    qint64 cap = 0;               // bytes allowed into buffer or sink
    QIODevice* source = nullptr;  // uploaded file
    qint64 sourceSize = -1;
    QList<QByteArray>* headers = nullptr; // server replies
    qint64 received = 0;
    bool overCap = false;
};

namespace {

size_t writeCallback(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<detail::FtpTransfer*>(user);
    const qint64 n = qint64(size * count);
    if (r->cap > 0 && r->received + n > r->cap) {
        r->overCap = true;
        return 0;
    }
    r->received += n;
    if (r->buffer) {
        r->buffer->append(data, n);
    } else if (r->sink) {
        if (r->sink->write(data, n) != n)
            return 0;
    }
    return size * count;
}

size_t discardCallback(char*, size_t size, size_t count, void*) {
    return size * count;
}

size_t readCallback(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<detail::FtpTransfer*>(user);
    const qint64 n = r->source->read(data, qint64(size * count));
    if (n < 0)
        return CURL_READFUNC_ABORT;
    return size_t(n);
}

size_t headerCallback(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<detail::FtpTransfer*>(user);
    if (r->headers && r->headers->size() < 10000)
        r->headers->append(QByteArray(data, qsizetype(size * count)));
    return size * count;
}

int progressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* abort = static_cast<std::atomic<bool>*>(user);
    return abort->load() ? 1 : 0;
}

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

FtpClient::FtpClient(qint64 maxFileSize) : m_maxFileSize(maxFileSize) {
    initCurlOnce();
}

FtpClient::~FtpClient() {
    std::lock_guard lock(m_mutex);
    closeUnlocked();
}

void FtpClient::setTimeouts(const FtpTimeouts& timeouts) {
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
}

FtpTimeouts FtpClient::timeouts() const {
    std::lock_guard lock(m_mutex);
    return m_timeouts;
}

void FtpClient::requestAbort() {
    m_abort.store(true);
}

QString FtpClient::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void FtpClient::fail(const QString& message) {
    m_lastError = message;
}

bool FtpClient::usable() {
    return m_connected.load() && m_curl && !m_abort.load();
}

bool FtpClient::perform(detail::FtpTransfer& r) {
    if (!m_curl)
        return false;
    if (m_abort.load()) {
        fail(QStringLiteral("aborted"));
        return false;
    }
    CURL* h = m_curl;
    curl_easy_reset(h); // keeps the live connection
    char errorText[CURL_ERROR_SIZE] = {0};

    std::unique_ptr<curl_slist, SlistDeleter> quote;
    for (const QByteArray& command : r.quote) {
        curl_slist* next = curl_slist_append(quote.get(), command.constData());
        if (!next)
            return false;
        quote.release();
        quote.reset(next);
    }

    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_URL, r.url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(h, CURLOPT_USERNAME, m_user.constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, m_password.constData());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(m_timeouts.connectMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(m_timeouts.operationMs));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, long(m_timeouts.lowSpeedSeconds));
    // Also bounds the wait for the QUIT reply when the handle goes away.
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     long(std::max(1, (m_timeouts.operationMs + 999) / 1000)));
    // Every path is absolute and already normalised here, so curl must not walk or rewrite it.
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, progressCallback);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &m_abort);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &r);
    if (r.headers) {
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, headerCallback);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &r);
    }
    if (quote)
        curl_easy_setopt(h, CURLOPT_QUOTE, quote.get());
    if (r.noBody)
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    if (!r.customRequest.isEmpty())
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, r.customRequest.constData());
    if (r.ascii)
        curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 1L);
    if (r.sink && r.cap > 0)
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(r.cap));
    if (r.source) {
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, readCallback);
        curl_easy_setopt(h, CURLOPT_READDATA, &r);
        if (r.sourceSize >= 0)
            curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(r.sourceSize));
    }

    const CURLcode rc = curl_easy_perform(h);
    // Nothing may point at this stack frame after we return: closing the handle later still reads
    // the QUIT reply and would feed it to these callbacks.
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(h, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discardCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, nullptr);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, nullptr);
    curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
    if (rc == CURLE_OK)
        return true;
    if (r.overCap)
        fail(QStringLiteral("file larger than %1 bytes").arg(r.cap));
    else
        fail(QString::fromLocal8Bit(errorText[0] ? errorText : curl_easy_strerror(rc)));
    return false;
}

bool FtpClient::quote(const QList<QByteArray>& commands) {
    detail::FtpTransfer r;
    r.url = m_base;
    r.noBody = true;
    r.quote = commands;
    return perform(r);
}

QString FtpClient::resolve(const QString& path) const {
    // Anything that could end a command line would let a path smuggle in a second command.
    if (path.contains(u'\r') || path.contains(u'\n') || path.contains(QChar(0)) || !canEncodeGbk(path))
        return {};
    QString p = path;
    p.replace(u'\\', u'/');
    const QString joined = p.startsWith(u'/') ? p : m_cwd + u'/' + p;
    QStringList parts;
    for (const QString& part : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return u'/' + parts.join(u'/');
}

QByteArray FtpClient::urlFor(const QString& absPath, bool directory) const {
    QByteArray bytes = toGbk(absPath);
    if (directory && !bytes.endsWith('/'))
        bytes.append('/');
    // The leading %2F makes the path absolute rather than relative to the login directory.
    return m_base + "%2F" + bytes.mid(1).toPercentEncoding("/");
}

bool FtpClient::connect(const QString& host, const QString& user, const QString& password, int port) {
    std::lock_guard lock(m_mutex);
    closeUnlocked();
    m_abort.store(false);
    m_lastError.clear();
    if (host.isEmpty() || port <= 0 || port > 65535) {
        fail(QStringLiteral("bad host or port"));
        return false;
    }
    for (QChar c : host) {
        if (c.isSpace() || QStringLiteral("/?#@\\").contains(c) || c.unicode() < 0x20) {
            fail(QStringLiteral("bad host"));
            return false;
        }
    }
    QString hostPart = host;
    if (host.contains(u':') && !host.startsWith(u'['))
        hostPart = u'[' + host + u']';
    m_curl = curl_easy_init();
    if (!m_curl) {
        fail(QStringLiteral("out of memory"));
        return false;
    }
    m_base = "ftp://" + hostPart.toUtf8() + ':' + QByteArray::number(port) + '/';
    m_user = toGbk(user);
    m_password = toGbk(password);

    // Logging in happens here, so a wrong account fails now rather than at the first transfer.
    QList<QByteArray> replies;
    detail::FtpTransfer r;
    r.url = m_base;
    r.noBody = true;
    r.quote = {QByteArrayLiteral("*FEAT")};
    r.headers = &replies;
    if (!perform(r)) {
        const QString why = m_lastError;
        closeUnlocked();
        m_lastError = why;
        return false;
    }

    bool inFeat = false;
    for (const QByteArray& reply : replies) {
        if (reply.startsWith("211-")) {
            inFeat = true;
            continue;
        }
        if (reply.startsWith("211 ")) {
            inFeat = false;
            continue;
        }
        if (inFeat) {
            const QByteArray feature = reply.trimmed().toUpper();
            if (feature.startsWith("MLST") || feature.startsWith("MLSD"))
                m_mlsd = true;
        }
    }

    m_cwd = QStringLiteral("/");
    char* entry = nullptr;
    if (curl_easy_getinfo(m_curl, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry) {
        const QString start = fromGbk(QByteArray(entry));
        if (start.startsWith(u'/')) {
            const QString resolved = resolve(start);
            if (!resolved.isEmpty())
                m_cwd = resolved;
        }
    }
    m_connected.store(true);
    return true;
}

void FtpClient::closeUnlocked() {
    m_connected.store(false);
    if (m_curl) {
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
    m_mlsd = false;
    m_cwd = QStringLiteral("/");
    m_password.fill('\0');
    m_password.clear();
}

bool FtpClient::close() {
    std::lock_guard lock(m_mutex);
    closeUnlocked();
    return true;
}

bool FtpClient::createDirectory(const QString& path) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(path);
    if (!usable() || abs.isEmpty() || abs == QLatin1String("/"))
        return false;
    return quote({"MKD " + toGbk(abs)});
}

bool FtpClient::removeDirectory(const QString& path) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(path);
    if (!usable() || abs.isEmpty() || abs == QLatin1String("/"))
        return false;
    return quote({"RMD " + toGbk(abs)});
}

bool FtpClient::setCurrentDirectory(const QString& path) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(path);
    if (!usable() || abs.isEmpty())
        return false;
    // Asking the server proves the directory exists; later paths are resolved here.
    if (!quote({"CWD " + toGbk(abs)}))
        return false;
    m_cwd = abs;
    return true;
}

QString FtpClient::getCurrentDirectory() {
    std::lock_guard lock(m_mutex);
    if (!usable())
        return {};
    return m_cwd;
}

bool FtpClient::deleteFile(const QString& path) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(path);
    if (!usable() || abs.isEmpty() || abs == QLatin1String("/"))
        return false;
    return quote({"DELE " + toGbk(abs)});
}

bool FtpClient::renameFile(const QString& oldPath, const QString& newPath) {
    std::lock_guard lock(m_mutex);
    const QString from = resolve(oldPath);
    const QString to = resolve(newPath);
    if (!usable() || from.isEmpty() || to.isEmpty() || from == QLatin1String("/"))
        return false;
    return quote({"RNFR " + toGbk(from), "RNTO " + toGbk(to)});
}

bool FtpClient::downloadTo(const QString& absRemote, const QString& local, bool ascii) {
    // Written beside the target and renamed at the end, so a failure leaves the old file alone.
    QSaveFile file(local);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1").arg(local));
        return false;
    }
    detail::FtpTransfer r;
    r.url = urlFor(absRemote, false);
    r.sink = &file;
    r.cap = m_maxFileSize;
    r.ascii = ascii;
    if (!perform(r)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        fail(QStringLiteral("cannot write %1").arg(local));
        return false;
    }
    return true;
}

bool FtpClient::getFile(const QString& remote, const QString& local, bool ascii) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(remote);
    if (!usable() || abs.isEmpty() || abs == QLatin1String("/") || local.isEmpty())
        return false;
    return downloadTo(abs, local, ascii);
}

bool FtpClient::putFile(const QString& local, const QString& remote, int type) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(remote);
    if (!usable() || abs.isEmpty() || abs == QLatin1String("/"))
        return false;
    QFile file(local);
    if (!QFileInfo(local).isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1").arg(local));
        return false;
    }
    detail::FtpTransfer r;
    r.url = urlFor(abs, false);
    r.source = &file;
    r.sourceSize = file.size();
    r.ascii = type == 1;
    return perform(r);
}

bool FtpClient::listRaw(const QString& absDir, QList<FtpEntry>& entries) {
    entries.clear();
    QByteArray text;
    detail::FtpTransfer r;
    r.url = urlFor(absDir, true);
    if (m_mlsd)
        r.customRequest = QByteArrayLiteral("MLSD");
    r.buffer = &text;
    r.cap = MaxListingBytes;
    if (!perform(r))
        return false;
    const QDate today = QDate::currentDate();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArray line = text.mid(start, end - start);
        start = end + 1;
        FtpEntry e;
        if (!(m_mlsd ? parseMlsdLine(line, e) : parseListingLine(line, e, today)))
            continue;
        if (entries.size() >= MaxListingEntries) {
            entries.clear();
            fail(QStringLiteral("listing of %1 has too many entries").arg(absDir));
            return false;
        }
        entries.append(e);
    }
    return true;
}

bool FtpClient::listPattern(const QString& pattern, QList<FtpEntry>& entries) {
    entries.clear();
    QString p = pattern.isEmpty() ? QStringLiteral("*.*") : pattern;
    p.replace(u'\\', u'/');
    const qsizetype slash = p.lastIndexOf(u'/');
    const QString namePart = p.mid(slash + 1);
    const QString dirPart = slash < 0    ? QStringLiteral(".")
                            : slash == 0 ? QStringLiteral("/")
                                         : p.left(slash);

    if (namePart.contains(u'*') || namePart.contains(u'?')) {
        const QString dir = resolve(dirPart);
        QList<FtpEntry> all;
        if (dir.isEmpty() || !listRaw(dir, all))
            return false;
        for (const FtpEntry& e : all) {
            if (matchesFtpPattern(e.name, namePart))
                entries.append(e);
        }
        return true;
    }

    const QString abs = resolve(p);
    if (abs.isEmpty())
        return false;
    if (abs == QLatin1String("/") || namePart.isEmpty() || namePart == QLatin1String(".") ||
        namePart == QLatin1String(".."))
        return listRaw(abs, entries);

    // A plain path names a directory (list its contents) or a file (list just that file).
    const qsizetype cut = abs.lastIndexOf(u'/');
    const QString parent = cut == 0 ? QStringLiteral("/") : abs.left(cut);
    const QString name = abs.mid(cut + 1);
    QList<FtpEntry> all;
    if (!listRaw(parent, all))
        return false;
    const QString key = toLowerText(name);
    const FtpEntry* dir = nullptr;
    for (const FtpEntry& e : all) {
        if (!(e.attributes & AttrDirectory))
            continue;
        if (e.name == name) {
            dir = &e;
            break;
        }
        if (!dir && toLowerText(e.name) == key)
            dir = &e;
    }
    if (dir)
        return listRaw(parent == QLatin1String("/") ? u'/' + dir->name : parent + u'/' + dir->name, entries);
    for (const FtpEntry& e : all) {
        if (toLowerText(e.name) == key)
            entries.append(e);
    }
    return true;
}

int FtpClient::listDirectory(const QString& pattern, int mask, QStringList& names, QList<int>& attributes,
                             QList<qint64>& sizes, QList<double>& times) {
    names.clear();
    attributes.clear();
    sizes.clear();
    times.clear();
    std::lock_guard lock(m_mutex);
    if (!usable())
        return 0;
    QList<FtpEntry> entries;
    if (!listPattern(pattern, entries))
        return 0;
    for (const FtpEntry& e : entries) {
        if (!(e.attributes & mask) || e.name.startsWith(u'.'))
            continue;
        names.append(e.name);
        attributes.append(e.attributes);
        sizes.append(e.size);
        times.append(e.time);
    }
    return int(names.size());
}

bool FtpClient::lookup(const QString& path, bool directory, int mask, FtpEntry& found) {
    std::lock_guard lock(m_mutex);
    if (!usable())
        return false;
    const QString key = toLowerText(lastComponent(path));
    if (key.isEmpty())
        return false;
    QStringList names;
    QList<int> attributes;
    QList<qint64> sizes;
    QList<double> times;
    const QString pattern = directory ? path + QStringLiteral("\\..\\*") : path;
    listDirectory(pattern, mask, names, attributes, sizes, times);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (toLowerText(names[i]) == key) {
            found.name = names[i];
            found.attributes = attributes[i];
            found.size = sizes[i];
            found.time = times[i];
            return true;
        }
    }
    return false;
}

int FtpClient::getFileAttributes(const QString& path) {
    FtpEntry e;
    return lookup(path, false, DefaultMask, e) ? e.attributes : 0;
}

int FtpClient::getDirectoryAttributes(const QString& path) {
    FtpEntry e;
    return lookup(path, true, AttrDirectory, e) ? e.attributes : 0;
}

double FtpClient::getFileTime(const QString& path) {
    FtpEntry e;
    return lookup(path, false, DefaultMask, e) ? e.time : 0.0;
}

double FtpClient::getDirectoryTime(const QString& path) {
    FtpEntry e;
    return lookup(path, true, AttrDirectory, e) ? e.time : 0.0;
}

bool FtpClient::fileExists(const QString& path) {
    FtpEntry e;
    return lookup(path, false, AttrNormal, e);
}

bool FtpClient::directoryExists(const QString& path) {
    std::lock_guard lock(m_mutex);
    if (!usable())
        return false;
    // The root has no parent listing to appear in.
    if (trimSlashes(path).isEmpty() && (path.startsWith(u'/') || path.startsWith(u'\\')))
        return true;
    FtpEntry e;
    return lookup(path, true, AttrDirectory, e);
}

qint64 FtpClient::getFileSize(const QString& path) {
    FtpEntry e;
    return lookup(path, false, AttrNormal, e) ? e.size : 0;
}

qint64 FtpClient::directorySize(const QString& absDir, int depth) {
    if (depth > MaxDirectoryDepth)
        return 0;
    QList<FtpEntry> entries;
    if (!listRaw(absDir, entries))
        return 0;
    qint64 total = 0;
    for (const FtpEntry& e : entries) {
        if (e.name.startsWith(u'.') || !isSafeEntryName(e.name))
            continue;
        if (e.attributes & AttrDirectory)
            total += directorySize(absDir == QLatin1String("/") ? u'/' + e.name : absDir + u'/' + e.name,
                                   depth + 1);
        else
            total += e.size;
    }
    return total;
}

qint64 FtpClient::getDirectorySize(const QString& path) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(path);
    if (!usable() || abs.isEmpty())
        return 0;
    return directorySize(abs, 0);
}

bool FtpClient::downloadTree(const QString& absRemote, const QString& local, bool ascii, int depth) {
    if (depth > MaxDirectoryDepth) {
        fail(QStringLiteral("%1 is nested too deeply").arg(absRemote));
        return false;
    }
    if (!QDir().mkpath(local) || !QFileInfo(local).isDir()) {
        fail(QStringLiteral("cannot create %1").arg(local));
        return false;
    }
    QList<FtpEntry> entries;
    if (!listRaw(absRemote, entries))
        return false;
    // Check the whole listing before writing any of it.
    for (const FtpEntry& e : entries) {
        if (!isSafeEntryName(e.name)) {
            fail(QStringLiteral("refusing entry name %1 in %2").arg(e.name, absRemote));
            return false;
        }
    }
    for (const FtpEntry& e : entries) {
        if (e.name.startsWith(u'.') || !(e.attributes & DefaultMask))
            continue;
        const QString target = local + u'/' + e.name;
        if (!isInside(target, local) || QFileInfo(target).isSymLink()) {
            fail(QStringLiteral("refusing to write %1").arg(target));
            return false;
        }
        const QString remote = absRemote == QLatin1String("/") ? u'/' + e.name : absRemote + u'/' + e.name;
        const bool ok = (e.attributes & AttrDirectory) ? downloadTree(remote, target, ascii, depth + 1)
                                                       : downloadTo(remote, target, ascii);
        if (!ok)
            return false;
    }
    return true;
}

bool FtpClient::downloadDirectory(const QString& remoteDir, const QString& localDir, bool ascii) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(remoteDir);
    if (!usable() || abs.isEmpty() || localDir.isEmpty())
        return false;
    return downloadTree(abs, localDir, ascii, 0);
}

bool FtpClient::uploadTree(const QString& local, const QString& remote, bool ascii, int depth) {
    if (depth > MaxDirectoryDepth || !QFileInfo(local).isDir())
        return false;
    if (!directoryExists(remote) && !createDirectory(remote))
        return false;
    const QDir dir(local);
    const QString base = remote == QLatin1String("/") ? QString() : remote;
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (!putFile(f.filePath(), base + u'/' + f.fileName(), ascii ? 1 : 0))
            return false;
    }
    // Linked directories are skipped: they may loop or lead out of the tree.
    for (const QFileInfo& d :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name)) {
        const QString sub = base + u'/' + d.fileName();
        createDirectory(sub);
        if (!uploadTree(d.filePath(), sub, ascii, depth + 1))
            return false;
    }
    return true;
}

bool FtpClient::uploadDirectory(const QString& localDir, const QString& remoteDir, bool ascii) {
    std::lock_guard lock(m_mutex);
    const QString abs = resolve(remoteDir);
    if (!usable() || abs.isEmpty())
        return false;
    return uploadTree(localDir, abs, ascii, 0);
}

// ---------------------------------------------------------------------------------------------

QString FtpClient::trimSlashes(QString text) {
    auto isSlash = [](QChar c) { return c == u'/' || c == u'\\'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSlash(text[begin]))
        ++begin;
    while (end > begin && isSlash(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString FtpClient::toLowerText(QString text) {
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

QString FtpClient::bytesToText(const QByteArray& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return fromGbk(zero < 0 ? bytes : bytes.left(zero));
}

double FtpClient::fileTimeToDateTime(quint64 windowsFileTime) {
    // Whole seconds only, like the system conversion through a calendar time.
    const quint64 seconds = windowsFileTime / FileTimeTicksPerSecond;
    const qint64 days = qint64(seconds / 86400);
    const quint64 secondOfDay = seconds % 86400;
    return oleFromParts(days - FileTimeToOleDays, double(secondOfDay) / 86400.0);
}

double FtpClient::dateTimeToOle(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return 0.0;
    return oleFrom(dateTime.date(), dateTime.time());
}

} // namespace quorvel
