// Listing parsers and text/time helpers of the FTP client; no server needed.
#include "text/Gbk.h"
#include "update/FtpClient.h"

#include <QRandomGenerator>
#include <QtTest>

using quorvel::FtpClient;
using quorvel::FtpEntry;

namespace {

// OLE dates worked out by hand: 2000-01-01 is day 36526, every later year adds 365 or 366.
constexpr double Day2020_01_01 = 43831;
constexpr double Day2021_03_04 = 44259;
constexpr double Day2023_12_25 = 45285;
constexpr double Day2024_06_10 = 45453;
constexpr double Hour = 1.0 / 24;
constexpr double Minute = Hour / 60;
constexpr double Second = Minute / 60;
constexpr double Tolerance = Second / 100;

const QDate Today(2024, 6, 15);

} // namespace

class TestFtpParsing : public QObject {
    Q_OBJECT

  private slots:
    void listingLine_data();
    void listingLine();
    void mlsdLine_data();
    void mlsdLine();
    void parsersSurviveMangledLines();
    void pattern_data();
    void pattern();
    void trimSlashes_data();
    void trimSlashes();
    void toLowerText_data();
    void toLowerText();
    void bytesToText_data();
    void bytesToText();
    void fileTimeToDateTime_data();
    void fileTimeToDateTime();
    void dateTimeToOleIgnoresTimeZone();
};

void TestFtpParsing::listingLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<double>("time");

    QTest::newRow("unix file, year")
        << QByteArray("-rw-r--r--    1 owner    group        1234 Mar 04  2021 readme.txt") << true
        << "readme.txt" << 128 << qint64(1234) << Day2021_03_04;
    QTest::newRow("unix dir, time this year")
        << QByteArray("drwxr-xr-x   2 owner    group        4096 Jun 10 08:30 docs") << true << "docs" << 16
        << qint64(4096) << Day2024_06_10 + 8 * Hour + 30 * Minute;
    QTest::newRow("unix time after today means last year")
        << QByteArray("-rw-r--r-- 1 owner group 1 Dec 25 10:00 xmas.txt") << true << "xmas.txt" << 128
        << qint64(1) << Day2023_12_25 + 10 * Hour;
    QTest::newRow("unix name with spaces, CRLF")
        << QByteArray("-rw-r--r-- 1 o g 10 Jan 01 2020 my file.txt\r\n") << true << "my file.txt" << 128
        << qint64(10) << Day2020_01_01;
    QTest::newRow("unix symlink") << QByteArray("lrwxrwxrwx 1 o g 7 Jan 01 2020 link -> target") << true
                                  << "link" << 128 << qint64(7) << Day2020_01_01;
    QTest::newRow("unix without group") << QByteArray("-rw-r--r-- 1 owner 55 Feb 29 2020 leap.dat") << true
                                        << "leap.dat" << 128 << qint64(55) << Day2020_01_01 + 59;
    QTest::newRow("unix read-only") << QByteArray("-r--r--r-- 1 o g 5 Jan 01 2020 ro.txt") << true << "ro.txt"
                                    << 129 << qint64(5) << Day2020_01_01;
    QTest::newRow("unix over 4 GiB") << QByteArray("-rw-r--r-- 1 o g 5000000000 Jan 01 2020 big.iso") << true
                                     << "big.iso" << 128 << qint64(5000000000LL) << Day2020_01_01;
    QTest::newRow("unix GBK name") << quorvel::toGbk(
                                          QStringLiteral("-rw-r--r-- 1 o g 3 Jan 01 2020 软件更新.ini"))
                                   << true << QStringLiteral("软件更新.ini") << 128 << qint64(3)
                                   << Day2020_01_01;
    QTest::newRow("dos dir") << QByteArray("01-15-20  03:45PM       <DIR>          Updates") << true
                             << "Updates" << 16 << qint64(0) << Day2020_01_01 + 14 + 15 * Hour + 45 * Minute;
    QTest::newRow("dos file, 12AM, 1999") << QByteArray("12-31-99  12:00AM              1024 old.exe") << true
                                          << "old.exe" << 128 << qint64(1024) << 36525.0;
    QTest::newRow("dos 12PM") << QByteArray("07-04-21  12:30PM                77 noon.txt") << true
                              << "noon.txt" << 128 << qint64(77) << 44381 + 12 * Hour + 30 * Minute;
    QTest::newRow("dos four-digit year, 24 h")
        << QByteArray("03-04-2021  17:05              2048 report.pdf") << true << "report.pdf" << 128
        << qint64(2048) << Day2021_03_04 + 17 * Hour + 5 * Minute;
    QTest::newRow("dos name with spaces")
        << QByteArray("01-01-20  01:00AM       <DIR>          Program Files") << true << "Program Files" << 16
        << qint64(0) << Day2020_01_01 + Hour;
    QTest::newRow("dos GBK name") << quorvel::toGbk(QStringLiteral("01-01-20  01:00AM      9 说明.txt"))
                                  << true << QStringLiteral("说明.txt") << 128 << qint64(9)
                                  << Day2020_01_01 + Hour;

    QTest::newRow("total line") << QByteArray("total 48") << false << QString() << 0 << qint64(0) << 0.0;
    QTest::newRow("empty") << QByteArray() << false << QString() << 0 << qint64(0) << 0.0;
    QTest::newRow("prose") << QByteArray("this is not a listing line") << false << QString() << 0 << qint64(0)
                           << 0.0;
    QTest::newRow("bad month") << QByteArray("drwxr-xr-x 2 o g 4096 Foo 10 08:30 x") << false << QString()
                               << 0 << qint64(0) << 0.0;
    QTest::newRow("no name") << QByteArray("-rw-r--r-- 1 o g 10 Jan 01 2020") << false << QString() << 0
                             << qint64(0) << 0.0;
    QTest::newRow("dos bad date") << QByteArray("13-45-20  01:00AM  9 x.txt") << false << QString() << 0
                                  << qint64(0) << 0.0;
}

void TestFtpParsing::listingLine() {
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    FtpEntry e;
    QCOMPARE(quorvel::parseListingLine(line, e, Today), ok);
    if (!ok)
        return;
    QFETCH(QString, name);
    QFETCH(int, attributes);
    QFETCH(qint64, size);
    QFETCH(double, time);
    QCOMPARE(e.name, name);
    QCOMPARE(e.attributes, attributes);
    QCOMPARE(e.size, size);
    QVERIFY2(qAbs(e.time - time) < Tolerance, qPrintable(QString::number(e.time, 'f', 8)));
}

void TestFtpParsing::mlsdLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<double>("time");

    QTest::newRow("file over 4 GiB") << QByteArray("type=file;size=5000000000;modify=20210304050607; big.iso")
                                     << true << "big.iso" << 128 << qint64(5000000000LL)
                                     << Day2021_03_04 + 5 * Hour + 6 * Minute + 7 * Second;
    QTest::newRow("dir with GBK name")
        << quorvel::toGbk(QStringLiteral("modify=20200101000000;perm=el;type=dir; 软件更新")) << true
        << QStringLiteral("软件更新") << 16 << qint64(0) << Day2020_01_01;
    QTest::newRow("upper-case facts, fraction, odd name")
        << QByteArray("Type=File;Size=10;Modify=20200101120000.500; name with spaces;semi") << true
        << "name with spaces;semi" << 128 << qint64(10) << Day2020_01_01 + 12 * Hour + 0.5 * Second;
    QTest::newRow("read-only by mode")
        << QByteArray("type=file;unix.mode=0444;size=1; ro") << true << "ro" << 129 << qint64(1) << 0.0;
    QTest::newRow("writable python-style mode")
        << QByteArray("type=file;unix.mode=0o644;size=1; rw\r\n") << true << "rw" << 128 << qint64(1) << 0.0;
    QTest::newRow("symlink is a file")
        << QByteArray("type=OS.unix=slink:/x;size=4; ln") << true << "ln" << 128 << qint64(4) << 0.0;
    QTest::newRow("current dir") << QByteArray("type=cdir;modify=20200101000000; /home") << false << QString()
                                 << 0 << qint64(0) << 0.0;
    QTest::newRow("parent dir") << QByteArray("type=pdir;modify=20200101000000; ..") << false << QString()
                                << 0 << qint64(0) << 0.0;
    QTest::newRow("no type") << QByteArray("size=3; notype") << false << QString() << 0 << qint64(0) << 0.0;
    QTest::newRow("no name") << QByteArray("type=file;size=3;") << false << QString() << 0 << qint64(0)
                             << 0.0;
    QTest::newRow("empty") << QByteArray() << false << QString() << 0 << qint64(0) << 0.0;
}

void TestFtpParsing::mlsdLine() {
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    FtpEntry e;
    QCOMPARE(quorvel::parseMlsdLine(line, e), ok);
    if (!ok)
        return;
    QFETCH(QString, name);
    QFETCH(int, attributes);
    QFETCH(qint64, size);
    QFETCH(double, time);
    QCOMPARE(e.name, name);
    QCOMPARE(e.attributes, attributes);
    QCOMPARE(e.size, size);
    QVERIFY2(qAbs(e.time - time) < Tolerance, qPrintable(QString::number(e.time, 'f', 8)));
}

// Lines come from the network: cut and damaged ones must be rejected or yield a sane entry.
void TestFtpParsing::parsersSurviveMangledLines() {
    const QList<QByteArray> seeds{
        "-rw-r--r--    1 owner    group        1234 Mar 04  2021 readme.txt",
        "drwxr-xr-x   2 owner    group        4096 Jun 10 08:30 docs",
        "01-15-20  03:45PM       <DIR>          Updates",
        "12-31-99  12:00AM              1024 old.exe",
        "type=file;size=5000000000;modify=20210304050607.123; big.iso",
        "type=dir;unix.mode=0o755;modify=20200101000000; d",
    };
    QRandomGenerator random(20240615);
    auto check = [](const QByteArray& line) {
        FtpEntry a;
        if (quorvel::parseListingLine(line, a, Today)) {
            QVERIFY2(!a.name.isEmpty() && a.size >= 0, line.constData());
            QVERIFY2(a.attributes == 16 || a.attributes == 128 || a.attributes == 17 || a.attributes == 129,
                     line.constData());
        }
        FtpEntry b;
        if (quorvel::parseMlsdLine(line, b)) {
            QVERIFY2(!b.name.isEmpty() && b.size >= 0, line.constData());
        }
    };
    for (const QByteArray& seed : seeds) {
        for (qsizetype n = 0; n <= seed.size(); ++n)
            check(seed.left(n));
        for (int round = 0; round < 500; ++round) {
            QByteArray line = seed;
            const int flips = 1 + int(random.bounded(4));
            for (int f = 0; f < flips; ++f)
                line[random.bounded(int(line.size()))] = char(random.bounded(256));
            check(line);
        }
    }
}

void TestFtpParsing::pattern_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star dot star, no dot") << "README"
                                           << "*.*" << true;
    QTest::newRow("extension, other case") << "readme.TXT"
                                           << "*.txt" << true;
    QTest::newRow("wrong extension") << "readme.txt"
                                     << "*.ini" << false;
    QTest::newRow("question mark") << "abc"
                                   << "a?c" << true;
    QTest::newRow("question mark needs a char") << "ab"
                                                << "a?b" << false;
    QTest::newRow("plain name, case") << "GX.INI"
                                      << "gx.ini" << true;
    QTest::newRow("chinese prefix") << QStringLiteral("软件.ini") << QStringLiteral("软件.*") << true;
    QTest::newRow("chinese mismatch") << QStringLiteral("软件.ini") << QStringLiteral("硬件.*") << false;
    QTest::newRow("star in middle") << "setup-1.2.exe"
                                    << "setup*.exe" << true;
    QTest::newRow("empty pattern") << "x"
                                   << "" << false;
}

void TestFtpParsing::pattern() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(quorvel::matchesFtpPattern(name, pattern), matches);
}

void TestFtpParsing::trimSlashes_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mixed runs") << "\\/a/b//\\"
                                << "a/b";
    QTest::newRow("only separators") << "/\\//\\"
                                     << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("inner backslash stays") << "a\\b"
                                           << "a\\b";
    QTest::newRow("chinese") << QStringLiteral("/软件更新/") << QStringLiteral("软件更新");
    QTest::newRow("unc-like") << "\\\\server\\share\\"
                              << "server\\share";
    QTest::newRow("nothing to trim") << "gx.ini"
                                     << "gx.ini";
}

void TestFtpParsing::trimSlashes() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(FtpClient::trimSlashes(input), expected);
}

void TestFtpParsing::toLowerText_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii") << "GX.INI"
                           << "gx.ini";
    QTest::newRow("chinese untouched") << QStringLiteral("软件更新/GX") << QStringLiteral("软件更新/gx");
    QTest::newRow("latin-1 letters untouched") << QStringLiteral("ÄÖB") << QStringLiteral("ÄÖb");
    QTest::newRow("full-width untouched") << QStringLiteral("ＡB") << QStringLiteral("Ａb");
    QTest::newRow("digits and signs") << "A1_[Z]@"
                                      << "a1_[z]@";
}

void TestFtpParsing::toLowerText() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(FtpClient::toLowerText(input), expected);
}

void TestFtpParsing::bytesToText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stops at zero") << QByteArray("abc\0def", 7) << "abc";
    QTest::newRow("gbk then zero") << quorvel::toGbk(QStringLiteral("软件")) + QByteArray("\0junk", 5)
                                   << QStringLiteral("软件");
    QTest::newRow("no zero") << quorvel::toGbk(QStringLiteral("更新.ini")) << QStringLiteral("更新.ini");
    QTest::newRow("leading zero") << QByteArray("\0abc", 4) << "";
    QTest::newRow("empty") << QByteArray() << "";
}

void TestFtpParsing::bytesToText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(FtpClient::bytesToText(bytes), expected);
}

void TestFtpParsing::fileTimeToDateTime_data() {
    // A file time counts 100 ns ticks from 1601-01-01.
    const quint64 ticksPerDay = 864000000000ULL;
    QTest::addColumn<quint64>("fileTime");
    QTest::addColumn<double>("expected");
    QTest::newRow("1601-01-01") << quint64(0) << -109205.0;
    QTest::newRow("1899-12-30") << quint64(109205) * ticksPerDay << 0.0;
    QTest::newRow("1899-12-29 06:00") << quint64(109204) * ticksPerDay + ticksPerDay / 4 << -1.25;
    QTest::newRow("1970-01-01") << quint64(116444736000000000ULL) << 25569.0;
    QTest::newRow("2000-01-01") << quint64(125911584000000000ULL) << 36526.0;
    QTest::newRow("2000-01-01 12:00") << quint64(125911584000000000ULL) + ticksPerDay / 2 << 36526.5;
    QTest::newRow("fraction of a second dropped") << quint64(116444736000000000ULL) + 9999999 << 25569.0;
}

void TestFtpParsing::fileTimeToDateTime() {
    QFETCH(quint64, fileTime);
    QFETCH(double, expected);
    QVERIFY2(qAbs(FtpClient::fileTimeToDateTime(fileTime) - expected) < Tolerance,
             qPrintable(QString::number(FtpClient::fileTimeToDateTime(fileTime), 'f', 8)));
}

void TestFtpParsing::dateTimeToOleIgnoresTimeZone() {
    const QDate date(2021, 3, 4);
    const QTime time(5, 6, 7);
    const double expected = Day2021_03_04 + 5 * Hour + 6 * Minute + 7 * Second;
    for (const QDateTime& dt : {QDateTime(date, time, Qt::UTC), QDateTime(date, time, Qt::LocalTime),
                                QDateTime(date, time, Qt::OffsetFromUTC, 8 * 3600)}) {
        QVERIFY2(qAbs(FtpClient::dateTimeToOle(dt) - expected) < Tolerance, qPrintable(dt.toString()));
    }
}

QTEST_GUILESS_MAIN(TestFtpParsing)
#include "TestFtpParsing.moc"
