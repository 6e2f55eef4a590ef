#include "BlinkLabel.h"
#include "LED.h"
#include "RangeError.h"
#include "ScrollingText.h"
#include "StringGrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QImage picture(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int countPixels(const QImage& image, const QRect& area, QRgb color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF) ? 1 : 0;
    return count;
}

QFont textFont()
{
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(18);
    font.setBold(true);
    return font;
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void lampPicturesAreSharedAndReleased();
    void labelLayout_data();
    void labelLayout();
    void lampShowsTheRightCell_data();
    void lampShowsTheRightCell();
    void changeStateFiresOnRealChangesOnly();

    void fadeColor_data();
    void fadeColor();
    void fadeIndexOutOfRangeThrows();
    void scrollStepsAndWraps_data();
    void scrollStepsAndWraps();
    void scrollPositionSurvivesNewTextAndPauses();
    void keyColourKeepsTextVisible_data();
    void keyColourKeepsTextVisible();
    void textFadesAtTheEdge();

    void hiLoAlternatesOnTheTimer();
    void blinkDarkPhaseDrawsNothing();
    void deepTakesOnlyOneOrTwo();

    void gridChangedWhileHiddenIsLaidOutWhenShown();
};

void TestControls::lampPicturesAreSharedAndReleased()
{
    QVERIFY(!TLED::lampPicturesLoaded());
    auto first = std::make_unique<TLED>();
    auto second = std::make_unique<TLEDLabel>();
    QVERIFY(TLED::lampPicturesLoaded());
    first->resize(40, 40);
    QCOMPARE(first->size(), QSize(12, 13));

    // The resource itself: a 4-bit sheet of 2 x 4 cells whose corners are transparent.
    const QImage sheet(u":/controls/LED_PICS.bmp"_s);
    QCOMPARE(sheet.size(), QSize(24, 52));
    QCOMPARE(sheet.format(), QImage::Format_Indexed8);
    QVERIFY(sheet.colorCount() <= 16);
    const QRgb key = sheet.pixel(0, 51);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 2; ++column)
            QCOMPARE(sheet.pixel(column * 12, row * 13), key);

    first.reset();
    QVERIFY(TLED::lampPicturesLoaded());
    second.reset();
    QVERIFY(!TLED::lampPicturesLoaded());
}

void TestControls::labelLayout_data()
{
    QTest::addColumn<TCaptionAlignment>("alignment");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("lamp");
    QTest::addColumn<QRect>("caption");
    QTest::newRow("caption right, default size")
        << TCaptionAlignment::caRight << QSize(97, 17) << QRect(0, 2, 12, 13) << QRect(15, 0, 82, 17);
    QTest::newRow("caption left") << TCaptionAlignment::caLeft << QSize(97, 17) << QRect(85, 2, 12, 13)
                                  << QRect(0, 0, 82, 17);
    QTest::newRow("caption on top") << TCaptionAlignment::caTop << QSize(60, 40) << QRect(24, 27, 12, 13)
                                    << QRect(0, 0, 60, 24);
    QTest::newRow("caption below") << TCaptionAlignment::caBottom << QSize(60, 40) << QRect(24, 0, 12, 13)
                                   << QRect(0, 16, 60, 24);
    QTest::newRow("odd height rounds toward zero")
        << TCaptionAlignment::caRight << QSize(50, 20) << QRect(0, 3, 12, 13) << QRect(15, 0, 35, 20);
}

void TestControls::labelLayout()
{
    QFETCH(TCaptionAlignment, alignment);
    QFETCH(QSize, size);
    QFETCH(QRect, lamp);
    QFETCH(QRect, caption);
    TLEDLabel label;
    QCOMPARE(label.size(), QSize(97, 17));
    label.setAlignment(alignment);
    label.resize(size);
    QCOMPARE(label.lampRect(), lamp);
    QCOMPARE(label.captionRect(), caption);
}

void TestControls::lampShowsTheRightCell_data()
{
    QTest::addColumn<bool>("asLabel");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<TLEDColor>("color");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("centre");
    const QColor grey(176, 176, 176);
    QTest::newRow("red unlit") << false << false << TLEDColor::lcRed << true << QColor(110, 0, 0);
    QTest::newRow("red lit") << false << true << TLEDColor::lcRed << true << QColor(255, 0, 0);
    QTest::newRow("green lit") << false << true << TLEDColor::lcGreen << true << QColor(0, 230, 0);
    QTest::newRow("yellow unlit") << false << false << TLEDColor::lcYellow << true << QColor(110, 110, 0);
    QTest::newRow("disabled lit green is grey") << false << true << TLEDColor::lcGreen << false << grey;
    QTest::newRow("label lit yellow") << true << true << TLEDColor::lcYellow << true << QColor(255, 230, 0);
    QTest::newRow("disabled label is grey") << true << true << TLEDColor::lcRed << false << grey;
}

void TestControls::lampShowsTheRightCell()
{
    QFETCH(bool, asLabel);
    QFETCH(bool, lit);
    QFETCH(TLEDColor, color);
    QFETCH(bool, enabled);
    QFETCH(QColor, centre);
    QWidget parent;
    QPalette palette = parent.palette();
    const QColor background(10, 20, 30);
    palette.setColor(QPalette::Window, background);
    parent.setPalette(palette);
    std::unique_ptr<TLED> lamp = asLabel ? std::make_unique<TLEDLabel>(&parent) : std::make_unique<TLED>(&parent);
    lamp->setLit(lit);
    lamp->setColor(color);
    lamp->setEnabled(enabled);
    const QPoint origin = asLabel ? QPoint(0, 2) : QPoint(0, 0);
    const QImage image = picture(*lamp);
    QCOMPARE(image.pixelColor(origin + QPoint(6, 6)), centre);
    // The lamp's corner is transparent in the pictures: it shows the parent's colour.
    QCOMPARE(image.pixelColor(origin), background);
}

void TestControls::changeStateFiresOnRealChangesOnly()
{
    QWidget parent;
    TLEDLabel lamp(&parent);
    lamp.setCaption(u"Online"_s);
    QCOMPARE(lamp.accessibleName(), u"Online"_s);
    int fired = 0;
    lamp.OnChangeState = [&](QObject* sender) {
        QCOMPARE(sender, &lamp);
        ++fired;
    };
    lamp.setLit(false);
    lamp.setColor(TLEDColor::lcRed);
    QCOMPARE(fired, 0);
    lamp.setLit(true);
    lamp.setLit(true);
    QCOMPARE(fired, 1);
    lamp.setColor(TLEDColor::lcGreen);
    QCOMPARE(fired, 2);
    lamp.setEnabled(false);
    QCOMPARE(fired, 3);
    parent.setEnabled(false); // already disabled itself: no change for the lamp
    QCOMPARE(fired, 3);
    lamp.setEnabled(true);
    QCOMPARE(fired, 3);
    parent.setEnabled(true);
    QCOMPARE(fired, 4);
    QVERIFY(lamp.Lit());
    QCOMPARE(lamp.Color(), TLEDColor::lcGreen);
}

void TestControls::fadeColor_data()
{
    QTest::addColumn<QColor>("from");
    QTest::addColumn<QColor>("to");
    QTest::addColumn<QList<int>>("greys");
    QTest::newRow("black to white") << QColor(Qt::black) << QColor(Qt::white)
                                    << QList<int>{0, 28, 57, 85, 113, 142, 170, 198, 227, 255};
    QTest::newRow("white to black") << QColor(Qt::white) << QColor(Qt::black)
                                    << QList<int>{255, 227, 198, 170, 142, 113, 85, 57, 28, 0};
    QTest::newRow("one step is the target colour") << QColor(Qt::black) << QColor(Qt::white) << QList<int>{255};
}

void TestControls::fadeColor()
{
    QFETCH(QColor, from);
    QFETCH(QColor, to);
    QFETCH(QList<int>, greys);
    const int n = static_cast<int>(greys.size());
    for (int k = 1; k <= n; ++k) {
        const int g = greys[k - 1];
        QCOMPARE(TScrollingText::fadeColor(from, to, k, n), QColor(g, g, g));
    }
}

void TestControls::fadeIndexOutOfRangeThrows()
{
    const QList<std::pair<int, int>> cases{{0, 10}, {11, 10}, {1, 0}}; // below 1, above n, no steps
    for (const auto& [k, n] : cases) {
        try {
            TScrollingText::fadeColor(Qt::black, Qt::white, k, n);
            QFAIL("no range error");
        } catch (const ERangeError& e) {
            QCOMPARE(e.message(), u"ColorIndex can't be less than 1 or greater than "_s + QString::number(n));
            QCOMPARE(QString::fromUtf8(e.what()), e.message());
        }
    }
}

void TestControls::scrollStepsAndWraps_data()
{
    QTest::addColumn<TTextDirection>("direction");
    QTest::addColumn<int>("jump");
    QTest::newRow("right to left, 2 px") << TTextDirection::tdRightToLeft << 2;
    QTest::newRow("right to left, 7 px") << TTextDirection::tdRightToLeft << 7;
    QTest::newRow("left to right, 2 px") << TTextDirection::tdLeftToRight << 2;
    QTest::newRow("left to right, 7 px") << TTextDirection::tdLeftToRight << 7;
}

void TestControls::scrollStepsAndWraps()
{
    QFETCH(TTextDirection, direction);
    QFETCH(int, jump);
    TScrollingText s;
    s.setFont(textFont());
    s.resize(225, 22);
    s.setText(u"... Bereit ..."_s);
    s.setSpeed(50);
    s.setPixelJump(jump);
    s.setTextDirection(direction);
    QCOMPARE(s.timer()->interval(), 50);
    QVERIFY(s.timer()->isActive());

    const int textWidth = QFontMetrics(textFont()).horizontalAdvance(s.Text());
    QVERIFY(textWidth > 0);
    QCOMPARE(s.stripWidth(), textWidth + 2 * 225);
    // The text runs from entering at one edge until it has left at the other.
    const int travel = textWidth + 225;
    const int steps = (travel + jump - 1) / jump; // steps until the wrap
    const bool leftward = direction == TTextDirection::tdRightToLeft;
    const int start = leftward ? 0 : -travel;
    QCOMPARE(s.position(), start);
    for (int i = 1; i < steps; ++i) {
        s.step();
        QCOMPARE(s.position(), start + (leftward ? -i : i) * jump);
    }
    QVERIFY(leftward ? s.position() > -travel : s.position() < 0);
    s.step();
    QCOMPARE(s.position(), start);
}

void TestControls::scrollPositionSurvivesNewTextAndPauses()
{
    TScrollingText s;
    s.resize(225, 22);
    s.setTextDirection(TTextDirection::tdRightToLeft);
    s.setPixelJump(2);
    for (int i = 0; i < 5; ++i)
        s.step();
    QCOMPARE(s.position(), -10);
    s.setText(s.Text());
    s.setText(u"Verbindung wird aufgebaut"_s);
    QCOMPARE(s.accessibleName(), u"Verbindung wird aufgebaut"_s);
    QCOMPARE(s.position(), -10);
    s.setEnabled(false);
    s.step();
    QCOMPARE(s.position(), -10);
    s.setEnabled(true);
    s.step();
    QCOMPARE(s.position(), -12);
    s.setTextDirection(TTextDirection::tdLeftToRight);
    QCOMPARE(s.position(), 225 - s.stripWidth());
    s.setTextDirection(TTextDirection::tdRightToLeft);
    QCOMPARE(s.position(), 0);
}

void TestControls::keyColourKeepsTextVisible_data()
{
    QTest::addColumn<QColor>("font");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("key");
    const QColor green(0, 128, 0);
    const QColor face(240, 240, 240);
    QTest::newRow("navy text keys with green") << QColor(0, 0, 128) << face << green;
    QTest::newRow("green text keys with red") << green << face << QColor(255, 0, 0);
    QTest::newRow("green background keys with red") << QColor(Qt::white) << green << QColor(255, 0, 0);
}

void TestControls::keyColourKeepsTextVisible()
{
    QFETCH(QColor, font);
    QFETCH(QColor, background);
    QFETCH(QColor, key);
    TScrollingText s;
    s.setFont(textFont());
    s.resize(225, 22);
    s.setTextDirection(TTextDirection::tdRightToLeft);
    s.setText(u"Bereit"_s);
    s.setFontColor(font);
    s.setBackgroundColor(background);
    QCOMPARE(s.keyColor(), key);
    s.setPixelJump(150); // the text now starts 75 px into the control
    s.step();
    const QImage image = picture(s);
    QCOMPARE(image.size(), QSize(225, 22));
    QVERIFY(countPixels(image, image.rect(), font.rgb()) > 20);
    QVERIFY(countPixels(image, QRect(0, 0, 70, 22), background.rgb()) == 70 * 22);
    QCOMPARE(countPixels(image, image.rect(), key.rgb()), 0);
}

void TestControls::textFadesAtTheEdge()
{
    TScrollingText s;
    s.setFont(textFont());
    s.resize(225, 22);
    s.setTextDirection(TTextDirection::tdRightToLeft);
    s.setText(u"MMMMMMMM"_s);
    s.setBackgroundColor(Qt::black);
    s.setFontColor(Qt::white);
    s.setEdgeFadeWidth(10);
    const int textWidth = s.stripWidth() - 2 * 225;
    s.setPixelJump(225 + textWidth / 2); // the text straddles the left edge
    s.step();
    const QImage image = picture(s);
    const int greys[] = {0, 28, 57, 85, 113, 142, 170, 198, 227, 255};
    // The outermost column fades all the way into the background.
    QCOMPARE(countPixels(image, QRect(0, 0, 1, 22), qRgb(0, 0, 0)), 22);
    int columnsWithText = 0;
    for (int column = 1; column < 10; ++column) {
        const QRect line(column, 0, 1, 22);
        const int fade = countPixels(image, line, qRgb(greys[column], greys[column], greys[column]));
        QCOMPARE(fade + countPixels(image, line, qRgb(0, 0, 0)), 22);
        columnsWithText += fade > 0 ? 1 : 0;
    }
    QVERIFY(columnsWithText >= 6); // only the gaps between letters show none
    QVERIFY(countPixels(image, QRect(10, 0, 40, 22), qRgb(255, 255, 255)) > 0);
}

void TestControls::hiLoAlternatesOnTheTimer()
{
    TBlinkLabel label;
    label.setCaption(u"Bitte warten"_s);
    QCOMPARE(label.accessibleName(), u"Bitte warten"_s);
    const QColor saved = label.FontColor();
    const QColor red(Qt::red);
    const QColor maroon(128, 0, 0);
    label.setHiColor(red);
    label.setLoColor(maroon);
    label.setBlinkInterval(1000);
    label.setFontColor(Qt::blue);
    label.setBlink(TBlinkMode::blHiLo);
    QCOMPARE(label.FontColor(), saved);
    QVERIFY(label.timer()->isActive());
    QCOMPARE(label.timer()->interval(), 1000);
    label.step();
    QCOMPARE(label.FontColor(), red);
    label.step();
    QCOMPARE(label.FontColor(), maroon);
    label.step();
    QCOMPARE(label.FontColor(), red);

    label.setBlinkInterval(5);
    QTRY_COMPARE(label.FontColor(), maroon);
    QTRY_COMPARE(label.FontColor(), red);

    label.setBlink(TBlinkMode::blNone);
    QVERIFY(!label.timer()->isActive());
    QCOMPARE(label.FontColor(), saved);
}

void TestControls::blinkDarkPhaseDrawsNothing()
{
    TBlinkLabel label;
    label.setFont(textFont());
    label.setCaption(u"Bitte warten"_s);
    label.resize(150, 30);
    const QColor face(240, 240, 240);
    const QColor navy(0, 0, 128);
    label.setBackgroundColor(face);
    label.setFontColor(navy);
    label.setBlink(TBlinkMode::blBlink);
    QVERIFY(label.timer()->isActive());
    QVERIFY(countPixels(picture(label), label.rect(), navy.rgb()) > 20);

    label.step();
    QCOMPARE(label.FontColor(), face);
    QCOMPARE(countPixels(picture(label), label.rect(), face.rgb()), 150 * 30);

    // Choosing blinking again in the dark phase keeps the colour to return to.
    label.setBlink(TBlinkMode::blBlink);
    label.step();
    QCOMPARE(label.FontColor(), navy);
    label.step();
    QCOMPARE(label.FontColor(), face);
}

void TestControls::deepTakesOnlyOneOrTwo()
{
    TBlinkLabel label;
    QCOMPARE(label.Deep(), 1);
    label.setDeep(2);
    for (int ignored : {0, 3, -1})
        label.setDeep(ignored);
    QCOMPARE(label.Deep(), 2);
    label.setDeep(1);
    QCOMPARE(label.Deep(), 1);
}

// A hidden grid leaves measuring its header to the moment it is shown; a
// grid filled while hidden, first or again, must then look as if it had been
// laid out all along: header as tall as its text, rows below it, and a
// scroll bar for columns that do not fit.
void TestControls::gridChangedWhileHiddenIsLaidOutWhenShown()
{
    QWidget window;
    window.resize(300, 200);
    auto* grid = new TStringGrid(&window);
    grid->setGeometry(0, 0, 300, 200);
    auto fill = [grid](int columns, const QString& heading) {
        grid->setColCount(columns);
        grid->setRowCount(4);
        for (int c = 0; c < columns; ++c) {
            grid->setColWidths(c, 120);
            grid->setCells(c, 0, heading);
        }
    };
    auto checkLaidOut = [grid](int columns) {
        QHeaderView* header = grid->horizontalHeader();
        QVERIFY(header->height() >= header->fontMetrics().height());
        QCOMPARE(header->height(), header->sizeHint().height());
        QCOMPARE(grid->viewport()->geometry().top(), header->geometry().bottom() + 1);
        QCOMPARE(header->count(), columns);
        QVERIFY(grid->horizontalScrollBar()->maximum() > 0);
    };

    // Checked straight after show, before any queued layout work could run:
    // that is what the first paint sees.
    fill(6, u"Betreff"_s);
    window.show();
    checkLaidOut(6);
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    window.hide();
    fill(9, u"Absender\nmit zwei Zeilen"_s);
    window.show();
    checkLaidOut(9);
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
