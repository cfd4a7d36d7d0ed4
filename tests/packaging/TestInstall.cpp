// `cmake --install` into a temporary prefix: the programs, the menu entry and the icons land
// where a desktop looks for them, and nothing else lands in bin/.
#include "tests/packaging/Installed.h"
#include "tests/support/TempRunDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QtTest>

using namespace quorvel::test;

class TestInstall : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void programs_data();
    void programs();
    void nothingElseInBin();
    void icons_data();
    void icons();
    void scalableIcon();
    void desktopEntry_data();
    void desktopEntry();
    void desktopEntryTranslated();
    void desktopEntryNamesInstalledFiles();
    void desktopEntryValidates();

  private:
    QString installed(const QString& relative) const { return m_prefix.file(relative); }
    QMap<QString, QString> entry() const {
        return quorvel::test::desktopEntry(
            readBytes(installed(QStringLiteral("share/applications/quorvel.desktop"))));
    }
    TempRunDir m_prefix;
};

void TestInstall::initTestCase() {
    QVERIFY(m_prefix.isValid());
    const CommandResult r = runCommand(QStringLiteral(QUORVEL_CMAKE),
                                       {QStringLiteral("--install"), QStringLiteral(QUORVEL_BUILD_DIR),
                                        QStringLiteral("--prefix"), m_prefix.path()});
    QVERIFY2(r.ok(), r.err.constData());
}

void TestInstall::programs_data() {
    QTest::addColumn<QString>("name");
    for (const QString& p : installedPrograms())
        QTest::newRow(qPrintable(p)) << p;
}

void TestInstall::programs() {
    QFETCH(QString, name);
    const QFileInfo info(installed(QStringLiteral("bin/") + name));
    QVERIFY2(info.isFile(), qPrintable(info.filePath()));
    QVERIFY(info.isExecutable());
    QCOMPARE(readBytes(info.filePath()).left(4), QByteArray("\x7f"
                                                            "ELF"));
}

void TestInstall::nothingElseInBin() {
    // Build tools and test programs stay in the build.
    QStringList found = QDir(installed(QStringLiteral("bin"))).entryList(QDir::Files | QDir::NoDotAndDotDot);
    QStringList expected = installedPrograms();
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
}

void TestInstall::icons_data() {
    QTest::addColumn<int>("size");
    for (int size : iconSizes())
        QTest::newRow(qPrintable(QStringLiteral("%1x%1").arg(size))) << size;
}

void TestInstall::icons() {
    QFETCH(int, size);
    const QString path = installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/quorvel.png").arg(size));
    QImage image;
    QVERIFY2(image.load(path, "PNG"), qPrintable(path));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    // Drawn, with the rounded corners left transparent.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
}

void TestInstall::scalableIcon() {
    const QByteArray svg =
        readBytes(installed(QStringLiteral("share/icons/hicolor/scalable/apps/quorvel.svg")));
    QVERIFY(!svg.isEmpty());
    QCOMPARE(svg, readBytes(QStringLiteral(QUORVEL_ICON_SOURCE)));
}

void TestInstall::desktopEntry_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("Type") << "Type"
                          << "Application";
    QTest::newRow("Name") << "Name"
                          << "Quorvel";
    QTest::newRow("GenericName[zh_CN]") << "GenericName[zh_CN]"
                                        << "会员卡管理";
    QTest::newRow("Exec") << "Exec"
                          << "quorvel";
    QTest::newRow("Icon") << "Icon"
                          << "quorvel";
    QTest::newRow("Terminal") << "Terminal"
                              << "false";
    QTest::newRow("Categories") << "Categories"
                                << "Office;Qt;";
}

void TestInstall::desktopEntry() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QMap<QString, QString> e = entry();
    QVERIFY2(e.contains(key), qPrintable(key));
    QCOMPARE(e.value(key), value);
}

void TestInstall::desktopEntryTranslated() {
    const QMap<QString, QString> e = entry();
    QVERIFY(!e.value(QStringLiteral("Comment")).isEmpty());
    const QString chinese = e.value(QStringLiteral("Comment[zh_CN]"));
    QVERIFY(!chinese.isEmpty());
    QVERIFY2(
        std::any_of(chinese.begin(), chinese.end(), [](QChar c) { return c.script() == QChar::Script_Han; }),
        qPrintable(chinese));
}

void TestInstall::desktopEntryNamesInstalledFiles() {
    // The menu starts a program of this installation and finds the icon under its name.
    const QMap<QString, QString> e = entry();
    const QString exec = e.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + exec)).isExecutable());
    const QString icon = e.value(QStringLiteral("Icon"));
    for (int size : iconSizes())
        QVERIFY(QFile::exists(
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(icon))));
}

void TestInstall::desktopEntryValidates() {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (scripts/deps installs it)");
    const CommandResult r =
        runCommand(validator, {installed(QStringLiteral("share/applications/quorvel.desktop"))});
    QVERIFY2(r.ok(), (r.out + r.err).constData());
    QVERIFY2(r.out.trimmed().isEmpty(), r.out.constData());
}

QTEST_GUILESS_MAIN(TestInstall)
#include "TestInstall.moc"
