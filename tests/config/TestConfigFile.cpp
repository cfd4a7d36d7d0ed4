#include "config/ConfigFile.h"
#include "config/RunDirectory.h"
#include "config/Settings.h"
#include "tests/support/TempRunDir.h"
#include "text/Gbk.h"

#include <QtTest>

using namespace quorvel;
using quorvel::test::readBytes;
using quorvel::test::writeBytes;

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultsWithoutFile();
    void writesGbkBytes();
    void replacesInPlaceKeepingOtherLines();
    void emptyValueIsNotDefault();
    void flagsOnlyExactTrue_data();
    void flagsOnlyExactTrue();
    void numbersAndMissingKeys();
    void otherSectionsUntouched();
    void keysIgnoreAsciiCase();
    void failedWriteLeavesFile();

private:
    std::unique_ptr<test::TempRunDir> m_dir;
};

void TestConfigFile::init() {
    m_dir = std::make_unique<test::TempRunDir>();
    setRunDirectory(m_dir->path());
}

void TestConfigFile::cleanup() {
    setRunDirectory(QString());
    m_dir.reset();
}

void TestConfigFile::defaultsWithoutFile() {
    QVERIFY(!QFile::exists(settingsFilePath()));
    QCOMPARE(settings::read(settings::kSlogan), QStringLiteral("Corvane"));
    QCOMPARE(settings::read(settings::kSloganFontName), QStringLiteral("楷体"));
    QCOMPARE(settings::readInt(settings::kSloganFontSize), 25);
    QCOMPARE(settings::read(settings::kLogoBackground), QStringLiteral("58586"));
    QVERIFY(settings::readFlag(settings::kRelogin));
    QVERIFY(!settings::readFlag(settings::kAutoSwipe));
    QCOMPARE(readSetting(QStringLiteral("自动更新")), QString());
    QVERIFY(!QFile::exists(settingsFilePath())); // reading never creates the file
}

void TestConfigFile::writesGbkBytes() {
    QVERIFY(writeSetting(QStringLiteral("软件标题"), QStringLiteral("美发店")));
    QCOMPARE(settingsFilePath(), m_dir->file(QStringLiteral("配置文件.ini")));
    const QByteArray bytes = readBytes(settingsFilePath());
    QCOMPARE(bytes, toGbk(QStringLiteral("[软件配置]\r\n软件标题=美发店\r\n")));
    QCOMPARE(readSetting(QStringLiteral("软件标题"), QStringLiteral("x")), QStringLiteral("美发店"));
}

void TestConfigFile::replacesInPlaceKeepingOtherLines() {
    const QByteArray before = toGbk(QStringLiteral("; 店铺设置\r\n[软件配置]\r\n软件标题=旧\r\n"
                                                   "自动刷卡=真\r\n\r\n[其它]\r\n软件标题=别处\r\n"));
    QVERIFY(writeBytes(settingsFilePath(), before));
    QVERIFY(writeSetting(QStringLiteral("软件标题"), QStringLiteral("新")));
    QCOMPARE(readBytes(settingsFilePath()),
             toGbk(QStringLiteral("; 店铺设置\r\n[软件配置]\r\n软件标题=新\r\n"
                                  "自动刷卡=真\r\n\r\n[其它]\r\n软件标题=别处\r\n")));
    // A new key goes at the end of its own section, not into the next one.
    QVERIFY(writeSetting(QStringLiteral("重新登录"), QStringLiteral("假")));
    QCOMPARE(readBytes(settingsFilePath()),
             toGbk(QStringLiteral("; 店铺设置\r\n[软件配置]\r\n软件标题=新\r\n"
                                  "自动刷卡=真\r\n重新登录=假\r\n\r\n[其它]\r\n软件标题=别处\r\n")));
    QCOMPARE(readProfileString(settingsFilePath(), QStringLiteral("其它"), QStringLiteral("软件标题")),
             QStringLiteral("别处"));
    // Writing the same key again keeps one line per key.
    QVERIFY(writeSetting(QStringLiteral("重新登录"), QStringLiteral("真")));
    QCOMPARE(readBytes(settingsFilePath()).count(toGbk(QStringLiteral("重新登录="))), 1);
}

void TestConfigFile::emptyValueIsNotDefault() {
    QVERIFY(writeSetting(QStringLiteral("软件标题"), QString()));
    QCOMPARE(settings::read(settings::kTitle), QString());
    QVERIFY(writeSetting(QStringLiteral("启动背景显示方式"), QString()));
    QCOMPARE(settings::readInt(settings::kLoginPictureMode), 0);
}

void TestConfigFile::flagsOnlyExactTrue_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("value");
    QTest::newRow("true") << QStringLiteral("真") << true;
    QTest::newRow("false") << QStringLiteral("假") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("english") << QStringLiteral("true") << false;
    QTest::newRow("one") << QStringLiteral("1") << false;
    QTest::newRow("doubled") << QStringLiteral("真真") << false;
}

void TestConfigFile::flagsOnlyExactTrue() {
    QFETCH(QString, stored);
    QFETCH(bool, value);
    QVERIFY(writeSetting(QStringLiteral("重新登录"), stored));
    QCOMPARE(settings::readFlag(settings::kRelogin), value);
}

void TestConfigFile::numbersAndMissingKeys() {
    QVERIFY(writeSetting(QStringLiteral("启动标语字体大小"), QStringLiteral("大号")));
    QCOMPARE(settings::readInt(settings::kSloganFontSize), 0);
    QVERIFY(writeSetting(QStringLiteral("启动标语字体大小"), QStringLiteral("18.9")));
    QCOMPARE(settings::readInt(settings::kSloganFontSize), 18);
    // Other keys still read their defaults once the file exists.
    QCOMPARE(settings::read(settings::kSwipePaneColour), QStringLiteral("5689748"));
}

void TestConfigFile::otherSectionsUntouched() {
    QVERIFY(writeBytes(settingsFilePath(), toGbk(QStringLiteral("[更新内容]\n版本号=1.7\n"))));
    QCOMPARE(readSetting(QStringLiteral("版本号"), QStringLiteral("无")), QStringLiteral("无"));
    QVERIFY(writeSetting(QStringLiteral("自动刷卡"), QStringLiteral("真")));
    QCOMPARE(readBytes(settingsFilePath()),
             toGbk(QStringLiteral("[更新内容]\n版本号=1.7\n\n[软件配置]\n自动刷卡=真\n")));
}

void TestConfigFile::keysIgnoreAsciiCase() {
    QVERIFY(writeBytes(settingsFilePath(), toGbk(QStringLiteral("[软件配置]\r\nLOGO背景色 = 123 \r\n"))));
    QCOMPARE(settings::read(settings::kLogoBackground), QStringLiteral("123"));
    QVERIFY(writeSetting(QStringLiteral("logo背景色"), QStringLiteral("456")));
    QCOMPARE(readBytes(settingsFilePath()), toGbk(QStringLiteral("[软件配置]\r\nlogo背景色=456\r\n")));
}

void TestConfigFile::failedWriteLeavesFile() {
    QVERIFY(writeSetting(QStringLiteral("软件标题"), QStringLiteral("店")));
    const QByteArray before = readBytes(settingsFilePath());
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool wrote = writeSetting(QStringLiteral("软件标题"), QStringLiteral("新店"));
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (wrote)
        QSKIP("running with rights that ignore folder permissions");
    QCOMPARE(readBytes(settingsFilePath()), before);
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "TestConfigFile.moc"
