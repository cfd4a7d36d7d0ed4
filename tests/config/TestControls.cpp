// The picture box, the colour picker and the font chooser on their own.
#include "config/ColourPicker.h"
#include "config/Dialogs.h"
#include "config/PictureBox.h"
#include "tests/config/FakeDialogs.h"
#include "tests/support/TempRunDir.h"

#include <QBuffer>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QImageReader>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace quorvel;

namespace {

QByteArray pngBytes(QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QColor pixelAt(QWidget* w, QPoint at) {
    return w->grab().toImage().pixelColor(at);
}

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);

} // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void displayModes_data();
    void displayModes();
    void borders_data();
    void borders();
    void undecodablePictureLeavesBoxEmpty_data();
    void undecodablePictureLeavesBoxEmpty();
    void pictureFromFile();
    void stillGifIsNotAnimated();
    void animationPlaysAndStandsStill();
    void animationSwitchedOffBeforeLoading();
    void colourPickerReportsOnlyChoices();
    void realFontChooserCarriesColour_data();
    void realFontChooserCarriesColour();
};

void TestControls::displayModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");
    // A 10x10 red picture in a 40x30 blue box.
    QTest::newRow("top-left: picture at the corner") << 0 << QPoint(2, 2) << kRed;
    QTest::newRow("top-left: background in the middle") << 0 << QPoint(20, 15) << kBlue;
    QTest::newRow("scaled: far corner covered") << 1 << QPoint(38, 28) << kRed;
    QTest::newRow("scaled: near corner covered") << 1 << QPoint(1, 1) << kRed;
    QTest::newRow("centred: picture in the middle") << 2 << QPoint(20, 15) << kRed;
    QTest::newRow("centred: background at the corner") << 2 << QPoint(2, 2) << kBlue;
    QTest::newRow("unknown mode shows top-left") << 7 << QPoint(20, 15) << kBlue;
}

void TestControls::displayModes() {
    QFETCH(int, mode);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);
    PictureBox box;
    box.resize(40, 30);
    box.setBackgroundColour(kBlue);
    QVERIFY(box.setPictureData(pngBytes(QSize(10, 10), kRed)));
    box.setDisplayMode(mode);
    QCOMPARE(pixelAt(&box, at), expected);
}

void TestControls::borders_data() {
    QTest::addColumn<int>("border");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("shadow");
    QTest::addColumn<int>("inset");
    QTest::newRow("0 none") << 0 << int(QFrame::NoFrame) << int(QFrame::Plain) << 0;
    QTest::newRow("1 sunken") << 1 << int(QFrame::Panel) << int(QFrame::Sunken) << 2;
    QTest::newRow("2 raised") << 2 << int(QFrame::Panel) << int(QFrame::Raised) << 2;
    QTest::newRow("3 shallow sunken") << 3 << int(QFrame::Panel) << int(QFrame::Sunken) << 1;
    QTest::newRow("unknown is none") << 9 << int(QFrame::NoFrame) << int(QFrame::Plain) << 0;
}

void TestControls::borders() {
    QFETCH(int, border);
    QFETCH(int, shape);
    QFETCH(int, shadow);
    QFETCH(int, inset);
    PictureBox box;
    box.resize(40, 30);
    box.setBorder(2); // from another border, so each style really replaces the one before
    box.setBorder(border);
    QCOMPARE(int(box.frameShape()), shape);
    if (shape != QFrame::NoFrame)
        QCOMPARE(int(box.frameShadow()), shadow);
    QCOMPARE(box.contentsRect().topLeft(), QPoint(inset, inset));
    // The background stays inside the border.
    box.setBackgroundColour(kGreen);
    QCOMPARE(pixelAt(&box, QPoint(inset, inset)), kGreen);
}

void TestControls::undecodablePictureLeavesBoxEmpty_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("not a picture at all");
    QTest::newRow("cut-off png") << pngBytes(QSize(10, 10), kRed).left(30);
    QTest::newRow("gif header only") << QByteArray("GIF89a\x02\x00\x02\x00", 10);
}

void TestControls::undecodablePictureLeavesBoxEmpty() {
    QFETCH(QByteArray, bytes);
    PictureBox box;
    box.resize(20, 20);
    QVERIFY(box.setPictureData(pngBytes(QSize(4, 4), kRed)));
    QVERIFY(!box.setPictureData(bytes));
    QVERIFY(!box.hasPicture());
    QVERIFY(!box.isPlaying());
    box.setBackgroundColour(kBlue);
    QCOMPARE(pixelAt(&box, QPoint(1, 1)), kBlue);
}

void TestControls::pictureFromFile() {
    test::TempRunDir dir;
    const QString path = dir.file(QStringLiteral("标题.png"));
    QVERIFY(test::writeBytes(path, pngBytes(QSize(6, 5), kGreen)));
    PictureBox box;
    QVERIFY(box.setPictureFile(path));
    QCOMPARE(box.pictureSize(), QSize(6, 5));
    QVERIFY(!box.setPictureFile(dir.file(QStringLiteral("gone.png"))));
    QVERIFY(!box.hasPicture());
    QVERIFY(box.setPictureFile(path));
    QVERIFY(!box.setPictureFile(QString()));
    QVERIFY(!box.hasPicture());
}

void TestControls::stillGifIsNotAnimated() {
    PictureBox box;
    QVERIFY(box.setPictureData(test::animatedGif(QSize(3, 3), {kGreen})));
    QVERIFY(box.hasPicture());
    QVERIFY(!box.isAnimatedPicture());
    QCOMPARE(box.currentImage().pixelColor(1, 1), kGreen);
}

void TestControls::animationPlaysAndStandsStill() {
    const QByteArray gif = test::animatedGif(QSize(4, 4), {kRed, kBlue});
    {
        QBuffer probe;
        probe.setData(gif);
        QImageReader reader(&probe, "gif");
        QCOMPARE(reader.imageCount(), 2);
    }
    PictureBox box;
    box.resize(8, 8);
    QSignalSpy frames(&box, &PictureBox::frameChanged);
    QVERIFY(box.setPictureData(gif));
    QVERIFY(box.isAnimatedPicture());
    QVERIFY(box.isPlaying());
    QCOMPARE(box.pictureSize(), QSize(4, 4));

    // Playing: the second frame comes on screen.
    while (box.currentFrameNumber() != 1)
        QVERIFY(frames.wait(5000));
    QCOMPARE(box.currentImage().pixelColor(1, 1), kBlue);

    box.setAnimated(false);
    QVERIFY(!box.isPlaying());
    const int still = box.currentFrameNumber();
    QCoreApplication::processEvents();
    QCOMPARE(box.currentFrameNumber(), still);

    box.setAnimated(true);
    QVERIFY(box.isPlaying());
    frames.clear();
    QVERIFY(frames.wait(5000));
}

void TestControls::animationSwitchedOffBeforeLoading() {
    PictureBox box;
    box.setAnimated(false);
    QVERIFY(box.setPictureData(test::animatedGif(QSize(4, 4), {kRed, kBlue})));
    QVERIFY(box.isAnimatedPicture());
    QVERIFY(!box.isPlaying());
    QCOMPARE(box.currentImage().pixelColor(0, 0), kRed); // the first frame stands
    box.setAnimated(true);
    QVERIFY(box.isPlaying());
}

void TestControls::colourPickerReportsOnlyChoices() {
    test::FakeDialogs dialogs;
    ColourPicker picker;
    QSignalSpy changes(&picker, &ColourPicker::colourChanged);

    picker.setColourValue(58586);
    QCOMPARE(picker.colour(), QColor(218, 228, 0));
    QCOMPARE(changes.count(), 0);

    // Cancelled: nothing changes.
    picker.click();
    QCOMPARE(dialogs.colourInitials, QList<QColor>{QColor(218, 228, 0)});
    QCOMPARE(changes.count(), 0);
    QCOMPARE(picker.colourValue(), 58586LL);

    dialogs.colourAnswers = {QColor(1, 2, 3), QColor(1, 2, 3)};
    picker.click();
    QCOMPARE(picker.colourValue(), 1 + 2 * 256 + 3 * 65536LL);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).value<QColor>(), QColor(1, 2, 3));
    // The same colour chosen again is still a choice.
    picker.click();
    QCOMPARE(changes.count(), 2);
}

void TestControls::realFontChooserCarriesColour_data() {
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void TestControls::realFontChooserCarriesColour() {
    QFETCH(bool, confirm);
    // Only the colour chooser inside the font chooser is answered by the fake.
    class ColourOnly : public PlatformDialogs {
    public:
        bool chooseColour(QWidget*, const QColor&, QColor* chosen) override {
            *chosen = QColor(10, 20, 30);
            return true;
        }
    } colourOnly;
    setPlatformDialogs(&colourOnly);

    QString family;
    for (const QString& f : QFontDatabase::families())
        if (family.isEmpty() && QFontDatabase::styles(f).contains(QStringLiteral("Bold")))
            family = f;
    QVERIFY2(!family.isEmpty(), "needs an installed font with a bold style");
    // Checks are recorded and asserted after the dialog has gone, so a failure cannot leave
    // it open.
    bool seen = false;
    bool embedded = false;
    QColor shownColour;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        auto* fonts = dialog->findChild<QFontDialog*>();
        auto* colour = dialog->findChild<ColourPicker*>();
        embedded = fonts && colour && fonts->isVisible();
        if (embedded) {
            shownColour = colour->colour();
            QFont f(family);
            f.setPointSize(17);
            f.setBold(true);
            fonts->setCurrentFont(f);
            colour->click();
        }
        confirm ? dialog->accept() : dialog->reject();
    });
    FontChoice initial;
    initial.family = QStringLiteral("DejaVu Sans");
    initial.pointSize = 11;
    initial.colour = QColor(200, 0, 0);
    FontChoice chosen;
    const bool ok = PlatformDialogs().chooseFont(nullptr, initial, &chosen);
    setPlatformDialogs(nullptr);
    QVERIFY(seen);
    QVERIFY(embedded);
    QCOMPARE(shownColour, QColor(200, 0, 0));
    QCOMPARE(ok, confirm);
    if (!confirm) {
        QCOMPARE(chosen, FontChoice());
        return;
    }
    QCOMPARE(chosen.family, family);
    QCOMPARE(chosen.pointSize, 17);
    QVERIFY(chosen.bold);
    QCOMPARE(chosen.colour, QColor(10, 20, 30));
}

QTEST_MAIN(TestControls)
#include "TestControls.moc"
