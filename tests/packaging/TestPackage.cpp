// `cpack -G DEB` from the build: the package holds the programs, the menu entry and the icons,
// and depends on what the programs load at run time.
#include "tests/packaging/Installed.h"
#include "tests/support/TempRunDir.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using namespace quorvel::test;

class TestPackage : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void fileName();
    void contents_data();
    void contents();
    void control_data();
    void control();
    void dependencies_data();
    void dependencies();
    void programsKeepNoBuildPaths_data();
    void programsKeepNoBuildPaths();

  private:
    QString field(const QString& name) const;
    TempRunDir m_out;
    TempRunDir m_unpacked;
    QString m_deb;
    QSet<QString> m_listed;
};

void TestPackage::initTestCase() {
    // The package and CPack's staging stay in a temporary folder, not in the build.
    const CommandResult r = runCommand(
        QStringLiteral(QUORVEL_CPACK),
        {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
         QStringLiteral(QUORVEL_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), m_out.path()});
    QVERIFY2(r.ok(), (r.out + r.err).constData());
    const QStringList debs = QDir(m_out.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_deb = m_out.file(debs.first());

    const CommandResult list = runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_deb});
    QVERIFY2(list.ok(), list.err.constData());
    // "-rwxr-xr-x root/root 12345 2024-01-01 00:00 ./usr/bin/quorvel": the path is the last column.
    for (const QString& line : QString::fromUtf8(list.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        m_listed.insert(line.section(QLatin1Char(' '), -1));
    const CommandResult unpack =
        runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_unpacked.path()});
    QVERIFY2(unpack.ok(), unpack.err.constData());
}

QString TestPackage::field(const QString& name) const {
    const CommandResult r = runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, name});
    return r.ok() ? QString::fromUtf8(r.out).trimmed() : QString();
}

void TestPackage::fileName() {
    const QString arch =
        QString::fromUtf8(runCommand(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).out)
            .trimmed();
    QCOMPARE(QFileInfo(m_deb).fileName(),
             QStringLiteral("quorvel_%1_%2.deb").arg(QStringLiteral(QUORVEL_VERSION), arch));
}

void TestPackage::contents_data() {
    QTest::addColumn<QString>("path");
    for (const QString& p : installedPrograms())
        QTest::newRow(qPrintable(p)) << QStringLiteral("./usr/bin/") + p;
    QTest::newRow("desktop entry") << "./usr/share/applications/quorvel.desktop";
    for (int size : iconSizes())
        QTest::newRow(qPrintable(QStringLiteral("icon %1").arg(size)))
            << QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/quorvel.png").arg(size);
    QTest::newRow("scalable icon") << "./usr/share/icons/hicolor/scalable/apps/quorvel.svg";
}

void TestPackage::contents() {
    QFETCH(QString, path);
    QVERIFY2(m_listed.contains(path), qPrintable(path));
}

void TestPackage::control_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("Package") << "Package"
                             << "quorvel";
    QTest::newRow("Version") << "Version" << QUORVEL_VERSION;
    QTest::newRow("Section") << "Section"
                             << "misc";
}

void TestPackage::control() {
    QFETCH(QString, name);
    QFETCH(QString, value);
    QCOMPARE(field(name), value);
}

void TestPackage::dependencies_data() {
    QTest::addColumn<QString>("package");
    // Found by dpkg-shlibdeps from the programs' libraries.
    QTest::newRow("C library") << "libc6";
    QTest::newRow("SQLCipher") << "libsqlcipher0";
    QTest::newRow("libcurl") << "libcurl4";
    QTest::newRow("Qt widgets") << "libqt6widgets6";
    QTest::newRow("Qt network") << "libqt6network6";
    // Loaded at run time, unseen by dpkg-shlibdeps.
    QTest::newRow("Qt platform plugins") << "qt6-qpa-plugins";
    QTest::newRow("Qt SVG icons") << "libqt6svg6";
    QTest::newRow("CJK font") << "fonts-wqy-microhei";
    QTest::newRow("Kai font") << "fonts-arphic-ukai";
}

void TestPackage::dependencies() {
    QFETCH(QString, package);
    // "a (>= 1), b | c": every alternative's package name.
    QSet<QString> names;
    static const QRegularExpression separators(QStringLiteral("[,|]"));
    for (const QString& item : field(QStringLiteral("Depends")).split(separators, Qt::SkipEmptyParts))
        names.insert(item.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0));
    QVERIFY2(names.contains(package), qPrintable(field(QStringLiteral("Depends"))));
}

void TestPackage::programsKeepNoBuildPaths_data() {
    QTest::addColumn<QString>("name");
    for (const QString& p : installedPrograms())
        QTest::newRow(qPrintable(p)) << p;
}

void TestPackage::programsKeepNoBuildPaths() {
    // An installed program must not look for libraries in the folder it was built in.
    QFETCH(QString, name);
    const CommandResult r =
        runCommand(QStringLiteral("readelf"),
                   {QStringLiteral("-d"), m_unpacked.file(QStringLiteral("usr/bin/") + name)});
    QVERIFY2(r.ok(), r.err.constData());
    QVERIFY2(!r.out.contains(QUORVEL_BUILD_DIR), r.out.constData());
}

QTEST_GUILESS_MAIN(TestPackage)
#include "TestPackage.moc"
