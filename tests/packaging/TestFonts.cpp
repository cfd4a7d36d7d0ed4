// The Chinese texts are drawn with real glyphs from the installed fonts (fonts-wqy-microhei,
// fonts-arphic-ukai on Debian), and the default face "楷体" of the slogan and the title lands
// on a Kai face when no font of that name is installed.
#include "config/Appearance.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QtTest>

namespace {

struct Drawn {
    QStringList families;
    int missingGlyphs = 0;
};

// The fonts a line of text is drawn with after font fallback, and how many of its glyphs are
// the empty box of a font without that character.
Drawn draw(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    Drawn d;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        d.families.append(run.rawFont().familyName());
        for (quint32 glyph : run.glyphIndexes())
            d.missingGlyphs += glyph == 0 ? 1 : 0;
    }
    return d;
}

} // namespace

class TestFonts : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { quorvel::registerFontSubstitutions(); }
    void chineseTextsHaveGlyphs_data();
    void chineseTextsHaveGlyphs();
    void kaiFaceForTheDefaultFace();
};

void TestFonts::chineseTextsHaveGlyphs_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("toolbar") << "软件设置 会员管理 消费刷卡 关 于";
    QTest::newRow("message") << "预存金额不足   请尽快充值";
    QTest::newRow("full-width forms") << "时间：２０２６年１２月１日（星期二）";
    QTest::newRow("card types") << "次卡 储蓄卡 无限卡";
}

void TestFonts::chineseTextsHaveGlyphs() {
    QFETCH(QString, text);
    const Drawn d = draw(text, QApplication::font());
    QCOMPARE(d.missingGlyphs, 0);
    QVERIFY(!d.families.isEmpty());
}

void TestFonts::kaiFaceForTheDefaultFace() {
    const QString kai = QStringLiteral("楷体");
    if (QFontDatabase::families().contains(kai))
        QSKIP("a font named 楷体 is installed; no substitution is needed");
    const Drawn d = draw(QStringLiteral("会员卡管理系统"), QFont(kai, 26));
    QCOMPARE(d.missingGlyphs, 0);
    QCOMPARE(d.families.size(), 1);
    QVERIFY2(d.families.first().contains(QStringLiteral("Kai"), Qt::CaseInsensitive),
             qPrintable(d.families.join(", ")));
}

QTEST_MAIN(TestFonts)
#include "TestFonts.moc"
