// FtpClient against a real GBK FTP server on 127.0.0.1. Every test runs twice: once against a
// server offering MLSD, once against one that only answers LIST.
#include "tests/support/TempRunDir.h"
#include "tests/update/FtpTestServer.h"
#include "text/Gbk.h"
#include "update/FtpClient.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sys/time.h>

#include <atomic>
#include <memory>
#include <thread>

using quorvel::FtpClient;
using quorvel::test::FtpServerOptions;
using quorvel::test::FtpTestServer;
using quorvel::test::TempRunDir;

namespace {

// 2021-03-04 is OLE day 44259 (2000-01-01 is 36526; 21 years with 6 leap days; 31 + 28 + 3).
constexpr double Day2021_03_04 = 44259;
constexpr double Second = 1.0 / 86400;

const QByteArray GxIni("[update]\r\nversion=2.5\r\n");

bool setModified(const QString& path, const QDateTime& when) {
    struct timeval times[2];
    times[0].tv_sec = times[1].tv_sec = time_t(when.toSecsSinceEpoch());
    times[0].tv_usec = times[1].tv_usec = 0;
    return ::utimes(QFile::encodeName(path).constData(), times) == 0;
}

// Relative path -> content for files, relative path + "/" -> empty for folders.
QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> result;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    const QDir base(dir);
    while (it.hasNext()) {
        it.next();
        const QString rel = base.relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            result.insert(rel + u'/', QByteArray());
        else
            result.insert(rel, quorvel::test::readBytes(it.filePath()));
    }
    return result;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

enum Op {
    OpCreateDirectory,
    OpRemoveDirectory,
    OpSetCurrentDirectory,
    OpGetCurrentDirectory,
    OpDeleteFile,
    OpRenameFile,
    OpGetFile,
    OpPutFile,
    OpListDirectory,
    OpGetFileAttributes,
    OpGetDirectoryAttributes,
    OpGetFileTime,
    OpGetDirectoryTime,
    OpFileExists,
    OpDirectoryExists,
    OpGetFileSize,
    OpGetDirectorySize,
    OpDownloadDirectory,
    OpUploadDirectory,
};

} // namespace

class TestFtpClient : public QObject {
    Q_OBJECT

  public:
    TestFtpClient() = default;

  private:
    std::unique_ptr<TempRunDir> m_run;
    FtpTestServer m_server;
    QString m_root;
    bool m_mlsd = true;

    bool startServer(FtpServerOptions options = {}) {
        options.mlsd = m_mlsd;
        if (!m_server.start(m_root, m_run->path(), options)) {
            qWarning("%s", qPrintable(m_server.error()));
            return false;
        }
        return true;
    }
    bool connectClient(FtpClient& client) {
        client.setTimeouts({5000, 15, 30000});
        return client.connect(QStringLiteral("127.0.0.1"), FtpTestServer::user(), FtpTestServer::password(),
                              m_server.port());
    }
    QString serverPath(const QString& rel) const { return m_root + u'/' + rel; }
    void put(const QString& rel, const QByteArray& bytes) {
        const QString path = serverPath(rel);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(quorvel::test::writeBytes(path, bytes));
    }
    static QByteArray listLine(bool dir, const QString& name, qint64 size = 4) {
        return quorvel::toGbk(QStringLiteral("%1 1 owner group %2 Jan 01  2020 %3\r\n")
                                  .arg(dir ? QStringLiteral("drwxr-xr-x") : QStringLiteral("-rw-r--r--"))
                                  .arg(size)
                                  .arg(name));
    }
    static QByteArray mlsdLine(const QString& type, const QString& name, qint64 size = 4) {
        return quorvel::toGbk(
            QStringLiteral("type=%1;size=%2;modify=20200101000000; %3\r\n").arg(type).arg(size).arg(name));
    }
    static bool runOp(FtpClient& c, Op op, const QString& localFile, const QString& localDir);

  private slots:
    void initTestCase_data();
    void init();
    void cleanup();

    void connectAccounts_data();
    void connectAccounts();
    void disconnectedOperations_data();
    void disconnectedOperations();
    void usesMachineListingWhenOffered();
    void lookups_data();
    void lookups();
    void listing_data();
    void listing();
    void dotNamesDropped();
    void timesAndAttributes();
    void sizeOver4GiB();
    void getFile_data();
    void getFile();
    void failedDownloadKeepsLocalFile_data();
    void failedDownloadKeepsLocalFile();
    void putFile_data();
    void putFile();
    void directoryOperations();
    void treeRoundTrip();
    void hostileListing_data();
    void hostileListing();
    void listingCap_data();
    void listingCap();
    void depthCap();
    void directorySize();
    void abortStopsOperations();
    void concurrentUse();
};

void TestFtpClient::initTestCase_data() {
    QTest::addColumn<bool>("mlsd");
    QTest::newRow("mlsd") << true;
    QTest::newRow("list") << false;
}

void TestFtpClient::init() {
    QFETCH_GLOBAL(bool, mlsd);
    m_mlsd = mlsd;
    m_run = std::make_unique<TempRunDir>();
    QVERIFY(m_run->isValid());
    m_root = m_run->file(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(m_root));
    QVERIFY(startServer());
}

void TestFtpClient::cleanup() {
    m_server.stop();
    m_run.reset();
}

void TestFtpClient::connectAccounts_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("ok");
    QTest::newRow("good") << FtpTestServer::user() << FtpTestServer::password() << true;
    QTest::newRow("wrong password") << FtpTestServer::user() << "wrong" << false;
    QTest::newRow("empty password") << FtpTestServer::user() << "" << false;
    QTest::newRow("unknown user") << "nobody" << FtpTestServer::password() << false;
    QTest::newRow("anonymous") << "anonymous"
                               << "" << false;
}

void TestFtpClient::connectAccounts() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, ok);
    FtpClient client;
    QVERIFY(!client.isConnected());
    client.setTimeouts({5000, 15, 30000});
    QCOMPARE(client.connect(QStringLiteral("127.0.0.1"), user, password, m_server.port()), ok);
    QCOMPARE(client.isConnected(), ok);
    if (ok) {
        QCOMPARE(client.getCurrentDirectory(), QStringLiteral("/"));
        QVERIFY(client.close());
        QVERIFY(!client.isConnected());
    }
}

bool TestFtpClient::runOp(FtpClient& c, Op op, const QString& localFile, const QString& localDir) {
    switch (op) {
    case OpCreateDirectory:
        return c.createDirectory(QStringLiteral("/new"));
    case OpRemoveDirectory:
        return c.removeDirectory(QStringLiteral("/d"));
    case OpSetCurrentDirectory:
        return c.setCurrentDirectory(QStringLiteral("/d"));
    case OpGetCurrentDirectory:
        return !c.getCurrentDirectory().isEmpty();
    case OpDeleteFile:
        return c.deleteFile(QStringLiteral("/d/f.txt"));
    case OpRenameFile:
        return c.renameFile(QStringLiteral("/d/f.txt"), QStringLiteral("/d/g.txt"));
    case OpGetFile:
        return c.getFile(QStringLiteral("/d/f.txt"), localFile);
    case OpPutFile:
        return c.putFile(localFile, QStringLiteral("/d/up.txt"));
    case OpListDirectory: {
        QStringList names{QStringLiteral("stale")};
        QList<int> attributes{1};
        QList<qint64> sizes{1};
        QList<double> times{1.0};
        const int n = c.listDirectory(QStringLiteral("/d/*"), 183, names, attributes, sizes, times);
        return n != 0 || !names.isEmpty() || !attributes.isEmpty() || !sizes.isEmpty() || !times.isEmpty();
    }
    case OpGetFileAttributes:
        return c.getFileAttributes(QStringLiteral("/d/f.txt")) != 0;
    case OpGetDirectoryAttributes:
        return c.getDirectoryAttributes(QStringLiteral("/d")) != 0;
    case OpGetFileTime:
        return c.getFileTime(QStringLiteral("/d/f.txt")) != 0.0;
    case OpGetDirectoryTime:
        return c.getDirectoryTime(QStringLiteral("/d")) != 0.0;
    case OpFileExists:
        return c.fileExists(QStringLiteral("/d/f.txt"));
    case OpDirectoryExists:
        return c.directoryExists(QStringLiteral("/d"));
    case OpGetFileSize:
        return c.getFileSize(QStringLiteral("/d/f.txt")) != 0;
    case OpGetDirectorySize:
        return c.getDirectorySize(QStringLiteral("/d")) != 0;
    case OpDownloadDirectory:
        return c.downloadDirectory(QStringLiteral("/d"), localDir);
    case OpUploadDirectory:
        return c.uploadDirectory(localDir, QStringLiteral("/up"));
    }
    return true;
}

void TestFtpClient::disconnectedOperations_data() {
    QTest::addColumn<int>("op");
    QTest::newRow("createDirectory") << int(OpCreateDirectory);
    QTest::newRow("removeDirectory") << int(OpRemoveDirectory);
    QTest::newRow("setCurrentDirectory") << int(OpSetCurrentDirectory);
    QTest::newRow("getCurrentDirectory") << int(OpGetCurrentDirectory);
    QTest::newRow("deleteFile") << int(OpDeleteFile);
    QTest::newRow("renameFile") << int(OpRenameFile);
    QTest::newRow("getFile") << int(OpGetFile);
    QTest::newRow("putFile") << int(OpPutFile);
    QTest::newRow("listDirectory") << int(OpListDirectory);
    QTest::newRow("getFileAttributes") << int(OpGetFileAttributes);
    QTest::newRow("getDirectoryAttributes") << int(OpGetDirectoryAttributes);
    QTest::newRow("getFileTime") << int(OpGetFileTime);
    QTest::newRow("getDirectoryTime") << int(OpGetDirectoryTime);
    QTest::newRow("fileExists") << int(OpFileExists);
    QTest::newRow("directoryExists") << int(OpDirectoryExists);
    QTest::newRow("getFileSize") << int(OpGetFileSize);
    QTest::newRow("getDirectorySize") << int(OpGetDirectorySize);
    QTest::newRow("downloadDirectory") << int(OpDownloadDirectory);
    QTest::newRow("uploadDirectory") << int(OpUploadDirectory);
}

void TestFtpClient::disconnectedOperations() {
    QFETCH(int, op);
    put(QStringLiteral("d/f.txt"), "content");
    const QString localFile = m_run->file(QStringLiteral("local.txt"));
    const QString localDir = m_run->file(QStringLiteral("localdir"));
    QVERIFY(quorvel::test::writeBytes(localFile, "upload me"));
    QVERIFY(QDir().mkpath(localDir));
    QVERIFY(quorvel::test::writeBytes(localDir + QStringLiteral("/x.txt"), "x"));
    const auto rootBefore = snapshot(m_root);
    const auto localBefore = snapshot(localDir);

    // The same operation works while connected, so a falsy result below means something.
    {
        FtpClient connected;
        QVERIFY(connectClient(connected));
        if (op != OpRemoveDirectory && op != OpDeleteFile && op != OpRenameFile && op != OpUploadDirectory &&
            op != OpDownloadDirectory && op != OpCreateDirectory && op != OpPutFile && op != OpGetFile)
            QVERIFY(runOp(connected, Op(op), localFile, localDir));
    }

    FtpClient never;
    QVERIFY(!runOp(never, Op(op), localFile, localDir));

    FtpClient closed;
    QVERIFY(connectClient(closed));
    QVERIFY(closed.close());
    const qsizetype seen = m_server.commands().size();
    QVERIFY(!runOp(closed, Op(op), localFile, localDir));
    QCOMPARE(m_server.commands().size(), seen);
    QVERIFY(!closed.isConnected());

    QCOMPARE(snapshot(m_root), rootBefore);
    QCOMPARE(snapshot(localDir), localBefore);
    QCOMPARE(quorvel::test::readBytes(localFile), QByteArray("upload me"));
}

void TestFtpClient::usesMachineListingWhenOffered() {
    put(QStringLiteral("d/f.txt"), "x");
    FtpClient client;
    QVERIFY(connectClient(client));
    QStringList names;
    QList<int> attributes;
    QList<qint64> sizes;
    QList<double> times;
    QCOMPARE(client.listDirectory(QStringLiteral("/d/*"), 183, names, attributes, sizes, times), 1);
    const QStringList commands = m_server.commands();
    const bool usedMlsd = commands.contains(QStringLiteral("MLSD /d"));
    const bool usedList = commands.contains(QStringLiteral("LIST /d"));
    QCOMPARE(usedMlsd, m_mlsd);
    QCOMPARE(usedList, !m_mlsd);
}

void TestFtpClient::lookups_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("expected");
    const QString ini = QStringLiteral("/软件更新/gx.ini");
    QTest::newRow("file, other case") << "fileExists" << ini << qint64(1);
    QTest::newRow("file, backslashes, mixed case")
        << "fileExists" << QStringLiteral("\\软件更新\\Gx.Ini") << qint64(1);
    QTest::newRow("file, relative") << "fileExistsIn" << QStringLiteral("gx.ini") << qint64(1);
    QTest::newRow("file, prefix only") << "fileExists" << QStringLiteral("/软件更新/gx.in") << qint64(0);
    QTest::newRow("folder is no file") << "fileExists" << QStringLiteral("/软件更新/子目录") << qint64(0);
    QTest::newRow("missing parent") << "fileExists" << QStringLiteral("/没有/gx.ini") << qint64(0);
    QTest::newRow("folder") << "directoryExists" << QStringLiteral("/软件更新/子目录") << qint64(1);
    QTest::newRow("folder, trailing slash, case")
        << "directoryExists" << QStringLiteral("/软件更新/") << qint64(1);
    QTest::newRow("folder, ascii case") << "directoryExists" << QStringLiteral("/软件更新/DATA") << qint64(1);
    QTest::newRow("file is no folder") << "directoryExists" << ini << qint64(0);
    QTest::newRow("missing folder") << "directoryExists" << QStringLiteral("/没有") << qint64(0);
    QTest::newRow("root") << "directoryExists" << QStringLiteral("/") << qint64(1);
    QTest::newRow("file attributes") << "getFileAttributes" << ini << qint64(128);
    // A folder path lists the folder's contents, where the folder itself does not appear.
    QTest::newRow("folder via file attributes")
        << "getFileAttributes" << QStringLiteral("/软件更新/子目录") << qint64(0);
    QTest::newRow("folder attributes")
        << "getDirectoryAttributes" << QStringLiteral("/软件更新/子目录") << qint64(16);
    QTest::newRow("file via folder attributes") << "getDirectoryAttributes" << ini << qint64(0);
    QTest::newRow("file size") << "getFileSize" << ini << qint64(GxIni.size());
    QTest::newRow("missing file size") << "getFileSize" << QStringLiteral("/软件更新/x.ini") << qint64(0);
}

void TestFtpClient::lookups() {
    QFETCH(QString, op);
    QFETCH(QString, path);
    QFETCH(qint64, expected);
    put(QStringLiteral("软件更新/GX.INI"), GxIni);
    put(QStringLiteral("软件更新/other.ini"), "x");
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("软件更新/子目录"))));
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("软件更新/data"))));
    FtpClient c;
    QVERIFY(connectClient(c));
    qint64 actual = -1;
    if (op == QLatin1String("fileExists")) {
        actual = c.fileExists(path);
    } else if (op == QLatin1String("fileExistsIn")) {
        QVERIFY(c.setCurrentDirectory(QStringLiteral("/软件更新")));
        actual = c.fileExists(path);
    } else if (op == QLatin1String("directoryExists")) {
        actual = c.directoryExists(path);
    } else if (op == QLatin1String("getFileAttributes")) {
        actual = c.getFileAttributes(path);
    } else if (op == QLatin1String("getDirectoryAttributes")) {
        actual = c.getDirectoryAttributes(path);
    } else if (op == QLatin1String("getFileSize")) {
        actual = c.getFileSize(path);
    }
    QCOMPARE(actual, expected);
}

void TestFtpClient::listing_data() {
    QTest::addColumn<QString>("cwd");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QStringList>("expected");
    const QStringList all{"a.txt", "b", "c", "z.TXT"};
    QTest::newRow("empty pattern") << "/d"
                                   << "" << 183 << all;
    QTest::newRow("star dot star") << "/d"
                                   << "*.*" << 183 << all;
    QTest::newRow("star, files only") << "/d"
                                      << "*" << 128 << QStringList{"a.txt", "b", "z.TXT"};
    QTest::newRow("folders only") << "/d"
                                  << "*" << 16 << QStringList{"c"};
    QTest::newRow("extension, any case") << "/"
                                         << "/d/*.txt" << 183 << QStringList{"a.txt", "z.TXT"};
    QTest::newRow("question mark") << "/"
                                   << "\\d\\?" << 183 << QStringList{"b", "c"};
    QTest::newRow("folder path lists contents") << "/"
                                                << "/d" << 183 << all;
    QTest::newRow("folder path, trailing slash") << "/"
                                                 << "/d/" << 183 << all;
    QTest::newRow("file path lists the file") << "/"
                                              << "/d/a.txt" << 183 << QStringList{"a.txt"};
    QTest::newRow("file path, other case") << "/"
                                           << "/d/A.TXT" << 183 << QStringList{"a.txt"};
    QTest::newRow("file path, wrong mask") << "/"
                                           << "/d/a.txt" << 16 << QStringList{};
    QTest::newRow("parent, backslashes") << "/"
                                         << "\\d\\c\\..\\*" << 183 << all;
    QTest::newRow("parent, slashes") << "/"
                                     << "/d/c/../*" << 183 << all;
    QTest::newRow("parent of relative") << "/d/c"
                                        << "..\\*" << 183 << all;
    QTest::newRow("relative folder") << "/d"
                                     << "c" << 183 << QStringList{"deep.bin"};
    QTest::newRow("missing folder") << "/"
                                    << "/nope/*" << 183 << QStringList{};
}

void TestFtpClient::listing() {
    QFETCH(QString, cwd);
    QFETCH(QString, pattern);
    QFETCH(int, mask);
    QFETCH(QStringList, expected);
    put(QStringLiteral("d/a.txt"), "aaaa");
    put(QStringLiteral("d/b"), "bb");
    put(QStringLiteral("d/z.TXT"), "z");
    put(QStringLiteral("d/c/deep.bin"), "deep");
    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(client.setCurrentDirectory(cwd));
    QCOMPARE(client.getCurrentDirectory(), cwd);
    QStringList names;
    QList<int> attributes;
    QList<qint64> sizes;
    QList<double> times;
    const int n = client.listDirectory(pattern, mask, names, attributes, sizes, times);
    QCOMPARE(sorted(names), expected);
    QCOMPARE(n, expected.size());
    QCOMPARE(attributes.size(), names.size());
    QCOMPARE(sizes.size(), names.size());
    QCOMPARE(times.size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QFileInfo info(serverPath(QStringLiteral("d/") + names[i]));
        if (names[i] == QLatin1String("deep.bin"))
            continue;
        QCOMPARE(attributes[i], info.isDir() ? 16 : 128);
        if (!info.isDir())
            QCOMPARE(sizes[i], info.size());
    }
}

void TestFtpClient::dotNamesDropped() {
    // Real folder: the server never lists "." and "..", so a stubbed folder supplies them.
    put(QStringLiteral("d/.hidden"), "h");
    put(QStringLiteral("d/.config/x"), "x");
    put(QStringLiteral("d/visible.txt"), "v");
    FtpServerOptions stub;
    stub.stubDir = QStringLiteral("/stub");
    stub.stubList = listLine(true, ".") + listLine(true, "..") + listLine(false, ".profile") +
                    listLine(false, QStringLiteral("shown.txt"));
    stub.stubMlsd = mlsdLine("cdir", ".") + mlsdLine("pdir", "..") + mlsdLine("dir", ".") +
                    mlsdLine("dir", "..") + mlsdLine("file", ".profile") + mlsdLine("file", "shown.txt");
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("stub"))));
    QVERIFY(startServer(stub));

    FtpClient client;
    QVERIFY(connectClient(client));
    QStringList names;
    QList<int> attributes;
    QList<qint64> sizes;
    QList<double> times;
    client.listDirectory(QStringLiteral("/d/*"), 183, names, attributes, sizes, times);
    QCOMPARE(names, QStringList{"visible.txt"});
    client.listDirectory(QStringLiteral("/stub/*.*"), 183, names, attributes, sizes, times);
    QCOMPARE(names, QStringList{"shown.txt"});
    QVERIFY(!client.fileExists(QStringLiteral("/d/.hidden")));
}

void TestFtpClient::timesAndAttributes() {
    put(QStringLiteral("t/old.dat"), "12345");
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("t/folder"))));
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
    QVERIFY(setModified(serverPath(QStringLiteral("t/old.dat")), when));
    QVERIFY(setModified(serverPath(QStringLiteral("t/folder")), when));
    // The server reports UTC; LIST shows only the day for files older than six months.
    const double expected = m_mlsd ? Day2021_03_04 + (5 * 3600 + 6 * 60 + 7) * Second : Day2021_03_04;

    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(qAbs(client.getFileTime(QStringLiteral("/t/OLD.dat")) - expected) < Second / 10);
    QVERIFY(qAbs(client.getDirectoryTime(QStringLiteral("/t/folder")) - expected) < Second / 10);
    QCOMPARE(client.getFileAttributes(QStringLiteral("/t/old.dat")), 128);
    QCOMPARE(client.getDirectoryAttributes(QStringLiteral("/t/folder")), 16);
    QCOMPARE(client.getFileSize(QStringLiteral("/t/old.dat")), qint64(5));
    QCOMPARE(client.getFileTime(QStringLiteral("/t/missing.dat")), 0.0);
}

void TestFtpClient::sizeOver4GiB() {
    const qint64 huge = 5000000000LL;
    FtpServerOptions stub;
    stub.stubDir = QStringLiteral("/big");
    stub.stubList = listLine(false, QStringLiteral("光盘.iso"), huge) + listLine(false, "small.txt", 3);
    stub.stubMlsd = mlsdLine("file", QStringLiteral("光盘.iso"), huge) + mlsdLine("file", "small.txt", 3);
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("big"))));
    QVERIFY(startServer(stub));

    FtpClient client;
    QVERIFY(connectClient(client));
    const qint64 size = client.getFileSize(QStringLiteral("/big/光盘.iso"));
    QVERIFY(size > 4294967296LL);
    QCOMPARE(size, huge);
    QStringList names;
    QList<int> attributes;
    QList<qint64> sizes;
    QList<double> times;
    QCOMPARE(client.listDirectory(QStringLiteral("/big/*.iso"), 183, names, attributes, sizes, times), 1);
    QCOMPARE(sizes, QList<qint64>{huge});
    QCOMPARE(client.getDirectorySize(QStringLiteral("/big")), huge + 3);
}

// The server keeps the text with CRLF line ends; an ASCII transfer hands it over with the local
// LF convention, a binary one byte for byte.
const QByteArray RemoteText = quorvel::toGbk(QStringLiteral("第一行：会员卡\r\n第二行：积分\r\n"));

void TestFtpClient::getFile_data() {
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("binary") << false << RemoteText;
    QByteArray lf = RemoteText;
    lf.replace("\r\n", "\n");
    QTest::newRow("ascii") << true << lf;
}

void TestFtpClient::getFile() {
    QFETCH(bool, ascii);
    QFETCH(QByteArray, expected);
    put(QStringLiteral("软件更新/说明.txt"), RemoteText);
    const QString local = m_run->file(QStringLiteral("说明.txt"));
    QVERIFY(quorvel::test::writeBytes(local, QByteArray(4096, 'o')));

    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(client.getFile(QStringLiteral("/软件更新/说明.txt"), local, ascii));
    QCOMPARE(quorvel::test::readBytes(local), expected);
}

void TestFtpClient::failedDownloadKeepsLocalFile_data() {
    QTest::addColumn<QString>("remote");
    QTest::addColumn<qint64>("cap");
    QTest::addColumn<bool>("ok");
    QTest::newRow("missing remote") << "/files/missing.bin" << FtpClient::DefaultMaxFileSize << false;
    QTest::newRow("one byte over the cap") << "/files/2049.bin" << qint64(2048) << false;
    QTest::newRow("far over the cap") << "/files/big.bin" << qint64(2048) << false;
    QTest::newRow("exactly the cap") << "/files/2048.bin" << qint64(2048) << true;
}

void TestFtpClient::failedDownloadKeepsLocalFile() {
    QFETCH(QString, remote);
    QFETCH(qint64, cap);
    QFETCH(bool, ok);
    put(QStringLiteral("files/2048.bin"), QByteArray(2048, 'a'));
    put(QStringLiteral("files/2049.bin"), QByteArray(2049, 'b'));
    put(QStringLiteral("files/big.bin"), QByteArray(4 * 1024 * 1024, 'c'));
    const QString folder = m_run->file(QStringLiteral("local"));
    QVERIFY(QDir().mkpath(folder));
    const QString local = folder + QStringLiteral("/target.bin");
    QVERIFY(quorvel::test::writeBytes(local, "previous"));

    FtpClient client(cap);
    QVERIFY(connectClient(client));
    QCOMPARE(client.getFile(remote, local), ok);
    const QByteArray expected =
        ok ? quorvel::test::readBytes(serverPath(remote.mid(1))) : QByteArray("previous");
    QCOMPARE(quorvel::test::readBytes(local), expected);
    // No temporary or partial file is left beside it.
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"target.bin"});
}

void TestFtpClient::putFile_data() {
    // On this server an ASCII upload of LF text lands unchanged, so the mode shows in the commands.
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typeCommand");
    QTest::newRow("binary") << 0 << "TYPE I";
    QTest::newRow("ascii") << 1 << "TYPE A";
    QTest::newRow("other types are binary") << 2 << "TYPE I";
}

void TestFtpClient::putFile() {
    QFETCH(int, type);
    QFETCH(QString, typeCommand);
    const QByteArray content = quorvel::toGbk(QStringLiteral("会员\n积分\n"));
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("上传"))));
    put(QStringLiteral("上传/新文件.txt"), "old content to be replaced");
    const QString local = m_run->file(QStringLiteral("本地.txt"));
    QVERIFY(quorvel::test::writeBytes(local, content));

    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(client.putFile(local, QStringLiteral("/上传/新文件.txt"), type));
    QCOMPARE(quorvel::test::readBytes(serverPath(QStringLiteral("上传/新文件.txt"))), content);
    const QStringList commands = m_server.commands();
    const qsizetype stor = commands.indexOf(QStringLiteral("STOR /上传/新文件.txt"));
    QVERIFY(stor > 0);
    QString lastType;
    for (qsizetype i = 0; i < stor; ++i) {
        if (commands[i].startsWith(QLatin1String("TYPE ")))
            lastType = commands[i];
    }
    QCOMPARE(lastType, typeCommand);
    QVERIFY(!client.putFile(m_run->file(QStringLiteral("missing.txt")), QStringLiteral("/上传/x.txt")));
    QVERIFY(!QFileInfo::exists(serverPath(QStringLiteral("上传/x.txt"))));
}

void TestFtpClient::directoryOperations() {
    put(QStringLiteral("工作/甲.txt"), "jia");
    put(QStringLiteral("工作/keep.txt"), "keep");
    FtpClient client;
    QVERIFY(connectClient(client));

    QVERIFY(client.createDirectory(QStringLiteral("/新目录")));
    QVERIFY(QFileInfo(serverPath(QStringLiteral("新目录"))).isDir());
    QVERIFY(!client.createDirectory(QStringLiteral("/新目录")));

    QVERIFY(client.setCurrentDirectory(QStringLiteral("\\工作\\")));
    QCOMPARE(client.getCurrentDirectory(), QStringLiteral("/工作"));
    QVERIFY(!client.setCurrentDirectory(QStringLiteral("/没有")));
    QCOMPARE(client.getCurrentDirectory(), QStringLiteral("/工作"));

    // Relative paths follow the current directory.
    QVERIFY(client.renameFile(QStringLiteral("甲.txt"), QStringLiteral("乙.txt")));
    QVERIFY(!QFileInfo::exists(serverPath(QStringLiteral("工作/甲.txt"))));
    QCOMPARE(quorvel::test::readBytes(serverPath(QStringLiteral("工作/乙.txt"))), QByteArray("jia"));
    QVERIFY(!client.renameFile(QStringLiteral("甲.txt"), QStringLiteral("丙.txt")));

    QVERIFY(client.createDirectory(QStringLiteral("子")));
    QVERIFY(QFileInfo(serverPath(QStringLiteral("工作/子"))).isDir());
    QVERIFY(client.renameFile(QStringLiteral("乙.txt"), QStringLiteral("../新目录/乙.txt")));
    QVERIFY(QFileInfo::exists(serverPath(QStringLiteral("新目录/乙.txt"))));

    QVERIFY(!client.removeDirectory(QStringLiteral("/新目录"))); // not empty
    QVERIFY(client.deleteFile(QStringLiteral("/新目录/乙.txt")));
    QVERIFY(!client.deleteFile(QStringLiteral("/新目录/乙.txt")));
    QVERIFY(client.removeDirectory(QStringLiteral("/新目录")));
    QVERIFY(!QFileInfo::exists(serverPath(QStringLiteral("新目录"))));
    QVERIFY(client.removeDirectory(QStringLiteral("子")));
    QVERIFY(!QFileInfo::exists(serverPath(QStringLiteral("工作/子"))));

    // A line break in a path must not become a second command.
    QVERIFY(!client.createDirectory(QStringLiteral("/x\r\nDELE /工作/keep.txt")));
    QVERIFY(
        !client.renameFile(QStringLiteral("/工作/keep.txt"), QStringLiteral("/工作/k\nDELE /工作/keep.txt")));
    QVERIFY(QFileInfo::exists(serverPath(QStringLiteral("工作/keep.txt"))));
    QVERIFY(!m_server.commands().contains(QStringLiteral("DELE /工作/keep.txt")));
}

void TestFtpClient::treeRoundTrip() {
    const QString source = m_run->file(QStringLiteral("源/更新包"));
    const QMap<QString, QByteArray> files{
        {QStringLiteral("版本.txt"), quorvel::toGbk(QStringLiteral("版本 2.5\r\n"))},
        {QStringLiteral("子目录一/文件甲.dat"), QByteArray(70000, '\x5c')},
        {QStringLiteral("子目录一/孙目录/乙.bin"), QByteArray("\0\x01\x02\xff", 4)},
        {QStringLiteral("子目录二/丙.txt"), quorvel::toGbk(QStringLiteral("会员卡"))},
        {QStringLiteral("子目录二/空.txt"), QByteArray()},
    };
    for (auto it = files.begin(); it != files.end(); ++it) {
        QVERIFY(QDir().mkpath(QFileInfo(source + u'/' + it.key()).path()));
        QVERIFY(quorvel::test::writeBytes(source + u'/' + it.key(), it.value()));
    }
    QVERIFY(QDir().mkpath(source + QStringLiteral("/空目录")));
    const auto expected = snapshot(source);

    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(client.uploadDirectory(source, QStringLiteral("/发布/更新包")) == false); // parent missing
    QVERIFY(client.uploadDirectory(source, QStringLiteral("/更新包")));
    QCOMPARE(snapshot(serverPath(QStringLiteral("更新包"))), expected);
    // Uploading again over the existing tree works too.
    QVERIFY(client.uploadDirectory(source, QStringLiteral("/更新包")));

    const QString target = m_run->file(QStringLiteral("下载/一/二"));
    QVERIFY(client.downloadDirectory(QStringLiteral("/更新包"), target));
    QCOMPARE(snapshot(target), expected);

    // A folder that cannot be created fails.
    const QString blocker = m_run->file(QStringLiteral("blocker"));
    QVERIFY(quorvel::test::writeBytes(blocker, "file"));
    QVERIFY(!client.downloadDirectory(QStringLiteral("/更新包"), blocker));
    QVERIFY(!client.downloadDirectory(QStringLiteral("/没有"), m_run->file(QStringLiteral("none"))));
}

void TestFtpClient::hostileListing_data() {
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("name");
    QTest::newRow("dot-dot slash") << false << "../evil";
    QTest::newRow("dot-dot backslash") << false << "..\\evil";
    QTest::newRow("slash") << false << "a/b";
    QTest::newRow("parent as folder") << true << "..";
    QTest::newRow("folder through parent") << true << "../up";
    QTest::newRow("drive colon") << false << "c:evil";
    QTest::newRow("control character") << false << QStringLiteral("ev\x01il");
    QTest::newRow("absolute") << false << "/evil";
}

void TestFtpClient::hostileListing() {
    QFETCH(bool, directory);
    QFETCH(QString, name);
    // Real files behind every name, so a client that followed them would find something to write.
    put(QStringLiteral("stub/good.txt"), "good");
    put(QStringLiteral("stub/a/b"), "ab");
    put(QStringLiteral("stub/evil"), "EVIL");
    put(QStringLiteral("stub/c:evil"), "EVIL");
    put(QStringLiteral("stub/ev\x01il"), "EVIL");
    put(QStringLiteral("evil"), "EVIL");
    put(QStringLiteral("up/evil"), "EVIL");
    FtpServerOptions stub;
    stub.stubDir = QStringLiteral("/stub");
    // "a" comes first so that a local a/ exists when "a/b" is reached.
    stub.stubList = listLine(false, "good.txt") + listLine(true, "a") + listLine(directory, name);
    stub.stubMlsd =
        mlsdLine("file", "good.txt") + mlsdLine("dir", "a") + mlsdLine(directory ? "dir" : "file", name);
    QVERIFY(startServer(stub));

    const QString out = m_run->file(QStringLiteral("out"));
    const QString target = out + QStringLiteral("/target");
    QVERIFY(QDir().mkpath(out));

    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(!client.downloadDirectory(QStringLiteral("/stub"), target));
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"target"});
    const auto written = snapshot(target);
    for (auto it = written.begin(); it != written.end(); ++it)
        QVERIFY2(!it.value().contains("EVIL") && !it.key().contains(QLatin1String("evil")),
                 qPrintable(it.key()));
}

void TestFtpClient::listingCap_data() {
    QTest::addColumn<int>("entries");
    QTest::newRow("at the cap") << FtpClient::MaxListingEntries;
    QTest::newRow("one over") << FtpClient::MaxListingEntries + 1;
}

void TestFtpClient::listingCap() {
    QFETCH(int, entries);
    FtpServerOptions stub;
    stub.stubDir = QStringLiteral("/many");
    for (int i = 0; i < entries; ++i) {
        const QString name = QStringLiteral("f%1").arg(i, 6, 10, QLatin1Char('0'));
        stub.stubList += listLine(false, name, 1);
        stub.stubMlsd += mlsdLine("file", name, 1);
    }
    QVERIFY(QDir().mkpath(serverPath(QStringLiteral("many"))));
    QVERIFY(startServer(stub));
    FtpClient client;
    QVERIFY(connectClient(client));
    QStringList names;
    QList<int> attributes;
    QList<qint64> sizes;
    QList<double> times;
    const bool allowed = entries <= FtpClient::MaxListingEntries;
    QCOMPARE(client.listDirectory(QStringLiteral("/many/*"), 183, names, attributes, sizes, times),
             allowed ? entries : 0);
    QCOMPARE(client.getDirectorySize(QStringLiteral("/many")), allowed ? qint64(entries) : qint64(0));
}

void TestFtpClient::depthCap() {
    // Every folder below /loop lists a folder "loop" and a file: an endless tree.
    put(QStringLiteral("loop/leaf.txt"), "x");
    FtpServerOptions stub;
    stub.stubDir = QStringLiteral("/loop");
    stub.stubRecursive = true;
    stub.stubList = listLine(true, "loop");
    stub.stubMlsd = mlsdLine("dir", "loop");
    QVERIFY(startServer(stub));
    const QString target = m_run->file(QStringLiteral("deep"));
    FtpClient client;
    QVERIFY(connectClient(client));
    QVERIFY(!client.downloadDirectory(QStringLiteral("/loop"), target));
    int levels = 0;
    QString dir = target;
    while (QFileInfo(dir + QStringLiteral("/loop")).isDir()) {
        dir += QStringLiteral("/loop");
        ++levels;
    }
    QVERIFY2(levels <= FtpClient::MaxDirectoryDepth, qPrintable(QString::number(levels)));
}

void TestFtpClient::directorySize() {
    const QMap<QString, QByteArray> files{
        {QStringLiteral("树/a.bin"), QByteArray(100, 'a')},
        {QStringLiteral("树/子/b.bin"), QByteArray(2000, 'b')},
        {QStringLiteral("树/子/孙/c.bin"), QByteArray(3, 'c')},
        {QStringLiteral("树/空/"), QByteArray()},
    };
    qint64 total = 0;
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it.key().endsWith(u'/')) {
            QVERIFY(QDir().mkpath(serverPath(it.key())));
            continue;
        }
        put(it.key(), it.value());
        total += it.value().size();
    }
    put(QStringLiteral("其他.bin"), QByteArray(5000, 'x'));

    FtpClient client;
    QVERIFY(connectClient(client));
    QCOMPARE(client.getDirectorySize(QStringLiteral("/树")), total);
    QCOMPARE(client.getDirectorySize(QStringLiteral("/树/子/")), qint64(2003));
    QCOMPARE(client.getDirectorySize(QStringLiteral("/树/空")), qint64(0));
    QCOMPARE(client.getDirectorySize(QStringLiteral("/没有")), qint64(0));
}

void TestFtpClient::abortStopsOperations() {
    put(QStringLiteral("f.txt"), "data");
    const QString local = m_run->file(QStringLiteral("f.txt"));
    FtpClient client;
    QVERIFY(connectClient(client));
    client.requestAbort();
    QVERIFY(!client.getFile(QStringLiteral("/f.txt"), local));
    QVERIFY(!QFileInfo::exists(local));
    QVERIFY(!client.fileExists(QStringLiteral("/f.txt")));
    // A new connection starts afresh.
    QVERIFY(connectClient(client));
    QVERIFY(client.getFile(QStringLiteral("/f.txt"), local));
    QCOMPARE(quorvel::test::readBytes(local), QByteArray("data"));
}

void TestFtpClient::concurrentUse() {
    put(QStringLiteral("c/one.txt"), QByteArray(30000, '1'));
    put(QStringLiteral("c/two.txt"), QByteArray(20000, '2'));
    FtpClient client;
    QVERIFY(connectClient(client));
    std::atomic<int> failures{0};
    auto worker = [&](const QString& name, int id) {
        for (int i = 0; i < 8; ++i) {
            QStringList names;
            QList<int> attributes;
            QList<qint64> sizes;
            QList<double> times;
            if (client.listDirectory(QStringLiteral("/c/*"), 183, names, attributes, sizes, times) != 2)
                ++failures;
            const QString local = m_run->file(QStringLiteral("w%1-%2").arg(id).arg(i));
            if (!client.getFile(QStringLiteral("/c/") + name, local) ||
                quorvel::test::readBytes(local) !=
                    quorvel::test::readBytes(serverPath(QStringLiteral("c/") + name)))
                ++failures;
        }
    };
    std::thread a(worker, QStringLiteral("one.txt"), 1);
    std::thread b(worker, QStringLiteral("two.txt"), 2);
    a.join();
    b.join();
    QCOMPARE(failures.load(), 0);
    // All of it went over the one login made by connect().
    QCOMPARE(m_server.commands().filter(QRegularExpression(QStringLiteral("^USER "))).size(), 1);
}

QTEST_GUILESS_MAIN(TestFtpClient)
#include "TestFtpClient.moc"
