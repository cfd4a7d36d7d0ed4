#include "text/DateText.h"
#include "text/Gbk.h"
#include "text/Numbers.h"

#include <QtTest>

using namespace quorvel;

class TestText : public QObject {
    Q_OBJECT
private slots:
    void textToNumber_data();
    void textToNumber();
    void numberToText_data();
    void numberToText();
    void amounts_data();
    void amounts();
    void blank_data();
    void blank();
    void dateTimeText_data();
    void dateTimeText();
    void gbk();
    void truncate_data();
    void truncate();
    void flags();
};

void TestText::textToNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
    QTest::newRow("chinese") << QStringLiteral("一百") << 0.0;
    QTest::newRow("integer") << QStringLiteral("13") << 13.0;
    QTest::newRow("fraction") << QStringLiteral("1.10") << 1.1;
    QTest::newRow("trailing text") << QStringLiteral("3-0") << 3.0;
    QTest::newRow("negative") << QStringLiteral("-30") << -30.0;
    QTest::newRow("plus") << QStringLiteral("+7") << 7.0;
    QTest::newRow("leading spaces") << QStringLiteral("  \t42") << 42.0;
    QTest::newRow("exponent") << QStringLiteral("1.5e3") << 1500.0;
    QTest::newRow("negative exponent") << QStringLiteral("25E-1x") << 2.5;
    QTest::newRow("incomplete exponent") << QStringLiteral("2e") << 2.0;
    QTest::newRow("point only") << QStringLiteral(".") << 0.0;
    QTest::newRow("leading point") << QStringLiteral(".5") << 0.5;
    QTest::newRow("trailing point") << QStringLiteral("7.") << 7.0;
    QTest::newRow("sign only") << QStringLiteral("-") << 0.0;
    QTest::newRow("no hex") << QStringLiteral("0x10") << 0.0;
    QTest::newRow("no inf") << QStringLiteral("inf") << 0.0;
    QTest::newRow("full-width digits") << QStringLiteral("１２３") << 123.0;
    QTest::newRow("full-width sign and point") << QStringLiteral("－１２．５") << -12.5;
    QTest::newRow("full-width space first") << QStringLiteral("　８") << 8.0;
    QTest::newRow("full-width plus exponent") << QStringLiteral("＋２ｅ２") << 200.0;
    QTest::newRow("mixed widths") << QStringLiteral("1２.5") << 12.5;
    QTest::newRow("number then chinese") << QStringLiteral("50元") << 50.0;
}

void TestText::textToNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(quorvel::textToNumber(text), expected);
}

void TestText::numberToText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 13.0 << QStringLiteral("13");
    QTest::newRow("half") << 10.5 << QStringLiteral("10.5");
    QTest::newRow("difference") << (20.0 - 7.0) << QStringLiteral("13");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("negative") << -30.0 << QStringLiteral("-30");
    QTest::newRow("binary noise") << (0.1 + 0.2) << QStringLiteral("0.3");
    QTest::newRow("thirteen digits") << 1234567890123.0 << QStringLiteral("1234567890123");
    QTest::newRow("very large") << 1e20 << QStringLiteral("1e+20");
    QTest::newRow("fourteen digits") << 12345678901234.0 << QStringLiteral("1.234567890123e+13");
    QTest::newRow("very small") << 0.00000123 << QStringLiteral("1.23e-06");
    QTest::newRow("small fraction") << 0.0001 << QStringLiteral("0.0001");
}

void TestText::numberToText() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(quorvel::numberToText(value), expected);
}

void TestText::amounts_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << "100" << "50" << "150";
    QTest::newRow("spend") << "20" << "-7" << "13";
    QTest::newRow("tenths") << "0.1" << "0.2" << "0.3";
    QTest::newRow("noise in difference") << "100.1" << "-100" << "0.1";
    QTest::newRow("down to zero") << "100" << "-100" << "0";
    QTest::newRow("negative result") << "5.25" << "-10" << "-4.75";
    QTest::newRow("empty is zero") << "" << "12.5" << "12.5";
    QTest::newRow("exponent operand") << "1e-07" << "1" << "1.0000001";
}

void TestText::amounts() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    QCOMPARE(quorvel::numberToText(addAmounts(quorvel::textToNumber(a), quorvel::textToNumber(b))), expected);
}

void TestText::blank_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("spaces") << QStringLiteral("   ") << true;
    QTest::newRow("full-width spaces") << QStringLiteral("　　") << true;
    QTest::newRow("mixed spaces") << QStringLiteral(" 　 ") << true;
    QTest::newRow("tab is not a space") << QStringLiteral("\t") << false;
    QTest::newRow("text with spaces") << QStringLiteral(" 张 三 ") << false;
}

void TestText::blank() {
    QFETCH(QString, text);
    QFETCH(bool, blank);
    QCOMPARE(isBlank(text), blank);
}

void TestText::dateTimeText_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("expected");
    const QDate d(2018, 3, 5);
    QTest::newRow("midnight") << QDateTime(d, QTime(0, 0, 0)) << QStringLiteral("2018年3月5日");
    QTest::newRow("hour") << QDateTime(d, QTime(5, 0, 0)) << QStringLiteral("2018年3月5日5时");
    QTest::newRow("minutes") << QDateTime(d, QTime(5, 7, 0)) << QStringLiteral("2018年3月5日5时7分");
    QTest::newRow("seconds") << QDateTime(d, QTime(5, 7, 9)) << QStringLiteral("2018年3月5日5时7分9秒");
    QTest::newRow("seconds at midnight hour") << QDateTime(d, QTime(0, 0, 9))
                                              << QStringLiteral("2018年3月5日0时0分9秒");
    QTest::newRow("two-digit parts") << QDateTime(QDate(2026, 12, 11), QTime(23, 59, 0))
                                     << QStringLiteral("2026年12月11日23时59分");
}

void TestText::dateTimeText() {
    QFETCH(QDateTime, when);
    QFETCH(QString, expected);
    QCOMPARE(quorvel::dateTimeText(when), expected);
    QCOMPARE(dateText(when.date()), expected.left(expected.indexOf(QStringLiteral("日")) + 1));
}

void TestText::gbk() {
    const QString text = QStringLiteral("会员卡号：A1");
    const QByteArray bytes = toGbk(text);
    QCOMPARE(bytes, QByteArray("\xBB\xE1\xD4\xB1\xBF\xA8\xBA\xC5\xA3\xBA" "A1"));
    QCOMPARE(fromGbk(bytes), text);
    QCOMPARE(gbkLength(text), 12);
    QVERIFY(canEncodeGbk(text));
    QVERIFY(!canEncodeGbk(QStringLiteral("emoji \U0001F600")));
    QVERIFY(!canEncodeGbk(QStringLiteral("한국어")) || toGbk(QStringLiteral("한국어")) != QByteArray("???"));
    QVERIFY(canEncodeGbk(QString()));
}

void TestText::truncate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii 31 to 30") << QString(31, QLatin1Char('a')) << 30 << QString(30, QLatin1Char('a'));
    QTest::newRow("chinese 16 chars to 30") << QString(16, QChar(0x4F1A)) << 30 << QString(15, QChar(0x4F1A));
    QTest::newRow("odd boundary") << (QStringLiteral("a") + QString(15, QChar(0x4F1A))) << 30
                                  << (QStringLiteral("a") + QString(14, QChar(0x4F1A)));
    QTest::newRow("fits") << QStringLiteral("张三") << 30 << QStringLiteral("张三");
}

void TestText::truncate() {
    QFETCH(QString, text);
    QFETCH(int, max);
    QFETCH(QString, expected);
    const QByteArray cut = truncateGbkBytes(toGbk(text), max);
    QVERIFY(cut.size() <= max);
    QCOMPARE(fromGbk(cut), expected);
}

void TestText::flags() {
    QVERIFY(flagFromText(QStringLiteral("真")));
    QVERIFY(!flagFromText(QStringLiteral("假")));
    QVERIFY(!flagFromText(QStringLiteral("真 ")));
    QVERIFY(!flagFromText(QStringLiteral("true")));
    QVERIFY(!flagFromText(QString()));
    QCOMPARE(flagText(true), QStringLiteral("真"));
    QCOMPARE(flagText(false), QStringLiteral("假"));
}

QTEST_GUILESS_MAIN(TestText)
#include "TestText.moc"
