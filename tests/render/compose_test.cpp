#include "compose.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "document.h"
#include "picturewriter.h"
#include "error.h"
#include "geometry.h"
#include "picture.h"
#include "pagesetup.h"
#include "renderfixture.h"
#include "runstate.h"

namespace quiltana {
namespace {

using test::blankCanvas;
using test::boundingBox;
using test::countPixels;
using test::pixelsOf;
using test::rgbAt;
using test::rgbOf;
using test::solidPicture;
using test::writePicture;

const QColor kPage(128, 128, 128);   // the canvas before composition
const QColor kPicture(20, 40, 60);   // every test picture
const QColor kInk(255, 0, 0);        // caption colour

bool isWhite(QRgb c) { return c == 0xFFFFFFu; }

// A fresh run's document and page setup for each test.
class ComposeTest : public ::testing::Test {
protected:
    // Layout style and page work paths; every position of the style flagged.
    void setPage(int style, const std::vector<QString> &paths, const std::vector<Turn> &orientations = {})
    {
        Document &doc = run.document;
        doc.layoutStyle = style;
        for (int p = 0; p < style; ++p) {
            const auto i = static_cast<size_t>(p);
            doc.page.workPath[i] = i < paths.size() ? paths[i] : QString();
            doc.page.orientation[i] = i < orientations.size() ? orientations[i] : Turn::Upright;
            doc.page.redraw[i] = Redraw::Draw;
        }
    }

    void setMargins(int margin, int spacing)
    {
        PageSetup &s = run.pageSetup;
        s.topDots = s.bottomDots = s.leftDots = s.rightDots = margin;
        s.verticalSpacingDots = s.horizontalSpacingDots = spacing;
    }

    void compose(QImage &canvas, FrameSwitch frames, ComposeMode mode)
    {
        QPainter painter(&canvas);
        ComposePage(painter, run.document, run.pageSetup, canvas.width(), canvas.height(), frames, mode);
    }

    QString picture(const QString &name, int width = 200, int height = 100)
    {
        return writePicture(dir, name, solidPicture(width, height, kPicture), "BMP");
    }

    QTemporaryDir dir;
    RunState run;
};

// What GDI's Rectangle leaves on a page: for each pixel the colour of the last rectangle
// covering it (ring black, inside white), else the page.
QRgb expectedFramePixel(const std::vector<Rect> &frames, int x, int y)
{
    QRgb colour = rgbOf(kPage);
    for (const Rect &r : frames) {
        if (x < r.left || x >= r.right || y < r.top || y >= r.bottom)
            continue;
        const bool ring = x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1;
        colour = ring ? 0x000000u : 0xFFFFFFu;
    }
    return colour;
}

void expectFrames(const QImage &canvas, const std::vector<Rect> &frames)
{
    int wrong = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (rgbAt(canvas, x, y) != expectedFramePixel(frames, x, y) && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y;
    EXPECT_EQ(wrong, 0);
}

// ---- Frames ----------------------------------------------------------------------------

TEST_F(ComposeTest, PreviewFramesCoverThePixelsOfGdiRectangles)
{
    // printer margins 130 and spacings 65 are 10 and 5 on the preview
    setMargins(130, 65);
    setPage(4, {});
    QImage canvas = blankCanvas(438, 544, kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);
    expectFrames(canvas, {{10, 10, 216, 269}, {221, 10, 428, 269}, {10, 274, 216, 533}, {221, 274, 428, 533}});
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(run.document.page.redraw[static_cast<size_t>(p)], Redraw::Done);
}

TEST_F(ComposeTest, OnlyFlaggedCellsAreFramed)
{
    setMargins(130, 65);
    setPage(4, {});
    run.document.page.redraw = {};
    run.document.page.redraw[2] = Redraw::Draw;
    QImage canvas = blankCanvas(438, 544, kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);
    expectFrames(canvas, {{10, 274, 216, 533}});
}

TEST_F(ComposeTest, PrintFramesUseTheUndividedMarginsAndShareEdges)
{
    // W 100, H 101, margins 10, no spacing: cells of 40 x 40 that touch
    setMargins(10, 0);
    setPage(4, {});
    QImage canvas = blankCanvas(100, 101, kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Print);
    expectFrames(canvas, {{10, 10, 50, 50}, {50, 10, 90, 50}, {10, 50, 50, 90}, {50, 50, 90, 90}});
}

TEST_F(ComposeTest, SingleCellFrameIsTheWholeCanvasButItsLastRow)
{
    setMargins(130, 65);
    setPage(1, {});
    QImage canvas = blankCanvas(50, 40, kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);
    expectFrames(canvas, {{0, 0, 50, 39}});
}

TEST_F(ComposeTest, FrameSwitchOffDrawsNoFrameAndLeavesPenAndBrush)
{
    setMargins(130, 65);
    setPage(4, {});
    QImage canvas = blankCanvas(438, 544, kPage);
    const QImage before = canvas;
    {
        QPainter painter(&canvas);
        painter.setPen(QPen(Qt::green, 3));
        painter.setBrush(Qt::NoBrush);
        ComposePage(painter, run.document, run.pageSetup, canvas.width(), canvas.height(), FrameSwitch::Skip, ComposeMode::Print);
        EXPECT_EQ(painter.pen().color(), QColor(Qt::green));
        EXPECT_EQ(painter.pen().width(), 3);
        EXPECT_EQ(painter.brush().style(), Qt::NoBrush);
    }
    EXPECT_EQ(canvas, before);
    EXPECT_EQ(run.document.page.redraw[0], Redraw::Done); // flags are consumed all the same
}

TEST_F(ComposeTest, ZeroSizedCellsGetNoFrame)
{
    // margins larger than the canvas: every cell has negative width and height
    setMargins(80, 5);
    setPage(4, {});
    QImage canvas = blankCanvas(100, 100, kPage);
    const QImage before = canvas;
    compose(canvas, FrameSwitch::Draw, ComposeMode::Print);
    EXPECT_EQ(canvas, before);
}

// ---- Pictures and flags ----------------------------------------------------------------

TEST_F(ComposeTest, PicturesAreDrawnOverTheirFramesAndFlagsAreConsumed)
{
    setMargins(130, 65);
    const QString path = picture("dark.bmp");
    setPage(4, {path, QString(), path, dir.filePath("c.gif")});
    run.document.page.redraw[7] = Redraw::Draw; // beyond the layout style: not touched
    QImage canvas = blankCanvas(438, 544, kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);

    // 200 x 100 into a 206 x 259 cell: FH = 103, offset 78
    const auto isPicture = [](QRgb c) { return c == rgbOf(kPicture); };
    EXPECT_EQ(boundingBox(canvas.copy(0, 0, 219, 272), isPicture), pixelsOf({10, 88, 216, 191}));
    EXPECT_EQ(boundingBox(canvas.copy(0, 272, 219, 272), isPicture), pixelsOf({10, 352 - 272, 216, 455 - 272}));
    // empty and unrecognised cells keep their white inside
    EXPECT_EQ(rgbAt(canvas, 300, 140), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(canvas, 300, 400), 0xFFFFFFu);
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(run.document.page.redraw[static_cast<size_t>(p)], Redraw::Done) << p;
    EXPECT_EQ(run.document.page.redraw[7], Redraw::Draw);

    // a second composition without new flags changes nothing
    const QImage first = canvas;
    compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);
    EXPECT_EQ(canvas, first);
    canvas.fill(kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Print);
    EXPECT_EQ(countPixels(canvas, [](QRgb c) { return c != rgbOf(kPage); }), 0);
}

TEST_F(ComposeTest, FlagsOtherThanOneAreLeftAlone)
{
    setMargins(130, 65);
    setPage(2, {picture("dark.bmp")});
    run.document.page.redraw[0] = static_cast<Redraw>(2);
    run.document.page.redraw[1] = Redraw::Done;
    QImage canvas = blankCanvas(438, 544, kPage);
    compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);
    EXPECT_EQ(countPixels(canvas, [](QRgb c) { return c != rgbOf(kPage); }), 0);
    EXPECT_EQ(run.document.page.redraw[0], static_cast<Redraw>(2));
}

TEST_F(ComposeTest, UnreadablePictureStopsTheCompositionWhereItStands)
{
    setMargins(130, 65);
    const QString good = picture("dark.bmp");
    const QString broken = dir.filePath("broken.png");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a PNG at all");
    file.close();
    setPage(4, {good, broken, good, good});
    QImage canvas = blankCanvas(438, 544, kPage);
    EXPECT_THROW(compose(canvas, FrameSwitch::Draw, ComposeMode::Preview), Error);

    const Document &doc = run.document;
    EXPECT_EQ(doc.page.redraw[0], Redraw::Done);
    EXPECT_EQ(doc.page.redraw[1], Redraw::Done); // the failing cell's flag was consumed before it failed
    EXPECT_EQ(doc.page.redraw[2], Redraw::Draw);
    EXPECT_EQ(doc.page.redraw[3], Redraw::Draw);
    // the first cell has its picture; every frame was drawn before the pictures
    EXPECT_EQ(rgbAt(canvas, 100, 140), rgbOf(kPicture));
    EXPECT_EQ(rgbAt(canvas, 100, 400), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(canvas, 300, 400), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(canvas, 221, 400), 0x000000u);
}

TEST_F(ComposeTest, AWorkCopyThatCannotBeShownIsReportedByItsPicture)
{
    const QString broken = dir.filePath("IMG_7.JPG.bmp");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM but nothing else");
    file.close();
    setPage(2, {broken});
    const QString own = dir.filePath("photos/IMG_7.JPG");
    run.document.cells[0].picturePath = own;
    QImage canvas = blankCanvas(200, 300, kPage);
    try {
        compose(canvas, FrameSwitch::Draw, ComposeMode::Preview);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().startsWith(own)) << e.what();
        EXPECT_FALSE(e.message().contains(broken)) << e.what();
    }
}

// ---- Print: pictures decoded ahead -----------------------------------------------------

// A 5 x 10 page on paper of JPEG, PNG and BMP pictures, some large, some stood upright by their
// EXIF orientation, turned by the user in turn, with captions.
class PrintAheadTest : public ComposeTest {
protected:
    static constexpr int kW = 1000;
    static constexpr int kH = 1401;

    void SetUp() override
    {
        ComposeTest::SetUp();
        setMargins(20, 6);
        const QByteArray big = test::EncodeJpeg(test::QuadrantJpeg(1600, 1200));
        test::JpegSpec pattern;
        pattern.width = 301;
        pattern.height = 203;
        pattern.progressive = true;
        for (const auto &row : test::PatternRows(pattern.width, pattern.height))
            pattern.pixels.insert(pattern.pixels.end(), row.begin(), row.end());
        test::PngSpec png;
        png.width = 150;
        png.height = 97;
        png.colorType = 2; // RGB
        png.rows = test::PatternRows(png.width, png.height);
        test::WritePng(dir.filePath("pattern.png"), png);
        const QString pictures[] = {
            write("big.jpg", big),
            write("tagged.jpg", test::WithApp1(big, test::ExifWithOrientation(6))),
            write("pattern.jpg", test::EncodeJpeg(pattern)),
            dir.filePath("pattern.png"),
            write("tagged.png", test::WithPngChunk(test::QuadrantPng(90, 60), "eXIf", test::TiffWithOrientation(8))),
            picture("small.bmp", 50, 70),
        };
        std::vector<QString> paths;
        std::vector<Turn> orientations;
        for (std::size_t p = 0; p < 50; ++p) {
            paths.push_back(p % 7 == 6 ? QString() : pictures[p % 6]);
            orientations.push_back(static_cast<Turn>(p % 3));
        }
        setPage(50, paths, orientations);
        run.document.page.redraw[13] = Redraw::Done; // its picture is known but not to be drawn
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        test::WriteBytes(path, bytes);
        return path;
    }

    // The flagged positions before `end` drawn one after the other, captions included, as
    // composing without workers would draw them.
    QImage cellByCell(std::size_t end)
    {
        const PageSetup &s = run.pageSetup;
        const Margins margins{s.topDots,   s.bottomDots,          s.leftDots,
                              s.rightDots, s.verticalSpacingDots, s.horizontalSpacingDots};
        const std::vector<Rect> cells = CellRects(50, kW, kH, margins, ComposeMode::Print);
        const PageLists &page = run.document.page;
        QImage canvas = blankCanvas(kW, kH, kPage);
        QPainter painter(&canvas);
        for (std::size_t p = 0; p < end; ++p) {
            if (page.redraw[p] != Redraw::Draw)
                continue;
            const std::optional<Rect> drawn = DrawPicture(painter, cells[p], page.workPath[p], page.orientation[p]);
            if (drawn)
                DrawCaption(painter, *drawn, page.workPath[p], page.orientation[p], s);
            const QPoint middle((cells[p].left + cells[p].right) / 2, (cells[p].top + cells[p].bottom) / 2);
            EXPECT_EQ(drawn.has_value(), !page.workPath[p].isEmpty()) << p;
            EXPECT_TRUE(page.workPath[p].isEmpty() || rgbAt(canvas, middle.x(), middle.y()) != rgbOf(kPage)) << p;
        }
        return canvas;
    }

    static int differingPixels(const QImage &a, const QImage &b)
    {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += rgbAt(a, x, y) != rgbAt(b, x, y) ? 1 : 0;
        return n;
    }
};

TEST_F(PrintAheadTest, PageIsDrawnExactlyAsCellByCell)
{
    const QImage expected = cellByCell(50);
    QImage canvas = blankCanvas(kW, kH, kPage);
    compose(canvas, FrameSwitch::Skip, ComposeMode::Print);
    EXPECT_EQ(differingPixels(canvas, expected), 0);
    for (std::size_t p = 0; p < 50; ++p)
        EXPECT_EQ(run.document.page.redraw[p], Redraw::Done) << p;
}

TEST_F(PrintAheadTest, ABrokenPictureStopsThePageAtItsOwnTurn)
{
    // Two broken pictures: the later one, decoded ahead, may fail first but must not be the
    // one reported, and nothing after the first is drawn.
    Document &doc = run.document;
    doc.page.workPath[23] = write("broken23.jpg", "this is not a JPEG");
    doc.page.workPath[40] = write("broken40.png", "nor is this a PNG");
    const QImage expected = cellByCell(23);
    QImage canvas = blankCanvas(kW, kH, kPage);
    try {
        compose(canvas, FrameSwitch::Skip, ComposeMode::Print);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("broken23.jpg"))) << e.what();
    }
    EXPECT_EQ(differingPixels(canvas, expected), 0);
    for (std::size_t p = 0; p <= 23; ++p)
        EXPECT_EQ(doc.page.redraw[p], Redraw::Done) << p;
    for (std::size_t p = 24; p < 50; ++p)
        EXPECT_EQ(doc.page.redraw[p], Redraw::Draw) << p;
}

// ---- Captions --------------------------------------------------------------------------

class CaptionTest : public ComposeTest {
protected:
    void SetUp() override
    {
        ComposeTest::SetUp();
        PageSetup &s = run.pageSetup;
        setMargins(0, 0);
        s.captionOption = true;
        s.captionFont.face = QStringLiteral("DejaVu Sans");
        s.captionFont.pointSize = 12;
        s.captionFont.color = kInk;
    }

    // One picture "Hello.bmp" (200 x 100) on a single-cell page of 400 x 301: the cell is
    // (0, 0, 400, 300); upright the picture is (0, 50, 400, 250), turned (125, 0, 275, 300).
    QImage composeHello(Turn orientation, ComposeMode mode = ComposeMode::Print)
    {
        setPage(1, {picture("Hello.bmp")}, {orientation});
        QImage canvas = blankCanvas(400, 301, kPage);
        compose(canvas, FrameSwitch::Skip, mode);
        return canvas;
    }

    // Text extent as the caption font measures on a canvas like the one composed on.
    static QSize textExtent(const QString &text, bool bold = false)
    {
        const QImage device = blankCanvas(4, 4, kPage);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(12);
        font.setBold(bold);
        const QFontMetrics metrics(font, &device);
        return QSize(metrics.horizontalAdvance(text), metrics.height());
    }

    static QRect whiteBox(const QImage &canvas) { return boundingBox(canvas, isWhite); }
    static QRect inkBox(const QImage &canvas)
    {
        return boundingBox(canvas, [](QRgb c) { return c != rgbOf(kPage) && c != rgbOf(kPicture); });
    }
};

// The caption box for a reference point: upright it extends right and down; turned a quarter
// clockwise the text runs down from the point and stands to its left.
QRect captionBox(int x, int y, QSize text, bool turned)
{
    return turned ? QRect(x - text.height(), y, text.height(), text.width())
                  : QRect(x, y, text.width(), text.height());
}

TEST_F(CaptionTest, UprightPositions)
{
    const QSize t = textExtent(QStringLiteral("Hello"));
    const int L = 0, T = 50, R = 400, B = 250;
    const QPoint expected[6] = {{L, T},
                                {L, B - t.height()},
                                {L + (R - L - t.width()) / 2, T},
                                {L + (R - L - t.width()) / 2, B - t.height()},
                                {R - t.width(), T},
                                {R - t.width(), B - t.height()}};
    for (int position = 0; position < 6; ++position) {
        run.pageSetup.captionPosition = static_cast<CaptionPosition>(position);
        const QImage canvas = composeHello(Turn::Upright);
        EXPECT_EQ(whiteBox(canvas), captionBox(expected[position].x(), expected[position].y(), t, false))
            << "position " << position;
        EXPECT_GT(countPixels(canvas, [](QRgb c) { return c == rgbOf(kPicture); }), 0);
    }
}

// A picture the camera stored on its side stands upright, and its caption with it: Hello.png
// is 200 x 100 as stored, tagged to be turned a quarter clockwise, so it stands 100 x 200 at
// (125, 0, 275, 300), as a picture the user turned would, but the caption stays upright.
TEST_F(CaptionTest, CaptionFollowsAPictureStoodUprightByItsExifOrientation)
{
    const QString stored = writePicture(dir, QStringLiteral("stored.png"), solidPicture(200, 100, kPicture), "PNG");
    QFile in(stored);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QString path = dir.filePath(QStringLiteral("Hello.png"));
    test::WriteBytes(path, test::WithPngChunk(in.readAll(), "eXIf", test::TiffWithOrientation(6)));
    const QSize t = textExtent(QStringLiteral("Hello"));
    run.pageSetup.captionPosition = CaptionPosition::BottomRight;
    setPage(1, {path}, {Turn::Upright});
    QImage canvas = blankCanvas(400, 301, kPage);
    compose(canvas, FrameSwitch::Skip, ComposeMode::Print);
    EXPECT_EQ(boundingBox(canvas, [](QRgb c) { return c == rgbOf(kPicture); }) | whiteBox(canvas),
              QRect(125, 0, 150, 300));
    EXPECT_EQ(whiteBox(canvas), captionBox(275 - t.width(), 300 - t.height(), t, false));
}

TEST_F(CaptionTest, TurnedPositionsFollowTheTurnedPicture)
{
    const QSize t = textExtent(QStringLiteral("Hello"));
    const int L = 125, T = 0, R = 275, B = 300;
    const QPoint expected[6] = {{R, T},
                                {L + t.height(), T},
                                {R, T + (B - T - t.width()) / 2},
                                {L + t.height(), T + (B - T - t.width()) / 2},
                                {R, B - t.width()},
                                {L + t.height(), B - t.width()}};
    for (int position = 0; position < 6; ++position) {
        run.pageSetup.captionPosition = static_cast<CaptionPosition>(position);
        const QImage canvas = composeHello(Turn::Right);
        EXPECT_EQ(whiteBox(canvas), captionBox(expected[position].x(), expected[position].y(), t, true))
            << "position " << position;
    }
}

TEST_F(CaptionTest, TurnedLeftCaptionIsPlacedLikeAnUprightOne)
{
    const QSize t = textExtent(QStringLiteral("Hello"));
    run.pageSetup.captionPosition = CaptionPosition::TopRight;
    const QImage canvas = composeHello(Turn::Left);
    EXPECT_EQ(whiteBox(canvas), QRect(275 - t.width(), 0, t.width(), t.height()));
}

TEST_F(CaptionTest, TransparentCaptionDrawsOnlyTheGlyphs)
{
    const QSize t = textExtent(QStringLiteral("Hello"));
    run.pageSetup.captionPosition = CaptionPosition::BottomRight;
    run.pageSetup.transparentCaptions = true;
    const QImage canvas = composeHello(Turn::Upright);
    EXPECT_EQ(countPixels(canvas, isWhite), 0);
    const QRect ink = inkBox(canvas);
    ASSERT_FALSE(ink.isNull());
    EXPECT_TRUE(QRect(400 - t.width(), 250 - t.height(), t.width(), t.height()).contains(ink));
    // the glyphs are in the caption colour, not just tinted picture
    EXPECT_GT(countPixels(canvas, [](QRgb c) { return c == rgbOf(kInk); }), 0);
}

TEST_F(CaptionTest, OpaqueCaptionCarriesTheGlyphsOnItsBox)
{
    run.pageSetup.captionPosition = CaptionPosition::TopLeft;
    const QImage canvas = composeHello(Turn::Upright);
    const QRect box = whiteBox(canvas);
    ASSERT_FALSE(box.isNull());
    // inside the white box the text is drawn in the caption colour
    EXPECT_GT(countPixels(canvas.copy(box), [](QRgb c) { return c == rgbOf(kInk); }), 0);
    EXPECT_TRUE(box.contains(inkBox(canvas)));
}

TEST_F(CaptionTest, ExtensionIsKeptOnlyWhenAskedFor)
{
    run.pageSetup.captionExtension = true;
    EXPECT_EQ(whiteBox(composeHello(Turn::Upright)).size(), textExtent(QStringLiteral("Hello.bmp")));
    run.pageSetup.captionExtension = false;
    EXPECT_EQ(whiteBox(composeHello(Turn::Upright)).size(), textExtent(QStringLiteral("Hello")));
}

TEST_F(CaptionTest, BoldIsNeverAppliedButTheOtherStylesAre)
{
    ASSERT_NE(textExtent(QStringLiteral("Hello"), true).width(), textExtent(QStringLiteral("Hello")).width());
    FontSpec &font = run.pageSetup.captionFont;
    font.bold = true;
    font.italic = true;
    font.underline = true;
    font.strikeOut = true;
    setPage(1, {picture("Hello.bmp")});
    QImage canvas = blankCanvas(400, 301, kPage);
    {
        QPainter painter(&canvas);
        ComposePage(painter, run.document, run.pageSetup, canvas.width(), canvas.height(), FrameSwitch::Skip, ComposeMode::Print);
        // the canvas keeps the caption font the composition left on it
        EXPECT_EQ(painter.font().weight(), QFont::Normal);
        EXPECT_TRUE(painter.font().italic());
        EXPECT_TRUE(painter.font().underline());
        EXPECT_TRUE(painter.font().strikeOut());
    }
    QFont regularItalic(QStringLiteral("DejaVu Sans"));
    regularItalic.setPointSize(12);
    regularItalic.setItalic(true);
    EXPECT_EQ(whiteBox(canvas).width(), QFontMetrics(regularItalic, &canvas).horizontalAdvance(QStringLiteral("Hello")));
}

TEST_F(CaptionTest, NoCaptionInPreviewWithoutTheOptionOrOutsideThePositions)
{
    EXPECT_EQ(inkBox(composeHello(Turn::Upright, ComposeMode::Preview)), QRect()) << "preview";
    run.pageSetup.captionOption = false;
    EXPECT_EQ(inkBox(composeHello(Turn::Upright)), QRect()) << "option off";
    run.pageSetup.captionOption = true;
    for (int position : {6, -1}) {
        run.pageSetup.captionPosition = static_cast<CaptionPosition>(position);
        const QImage canvas = composeHello(Turn::Upright);
        EXPECT_EQ(inkBox(canvas), QRect()) << "position " << position;
        EXPECT_EQ(boundingBox(canvas, [](QRgb c) { return c == rgbOf(kPicture); }), QRect(0, 50, 400, 200));
    }
}

TEST_F(CaptionTest, NothingDrawnMeansNoCaption)
{
    setPage(1, {writePicture(dir, "Hello.gif", solidPicture(20, 10, kPicture), "BMP")});
    QImage canvas = blankCanvas(400, 301, kPage);
    compose(canvas, FrameSwitch::Skip, ComposeMode::Print);
    EXPECT_EQ(countPixels(canvas, [](QRgb c) { return c != rgbOf(kPage); }), 0);
}

TEST(CaptionText, ExtensionRemovedFromTheLastDot)
{
    EXPECT_EQ(CaptionText(QStringLiteral("/photos/IMG_0012.JPG"), false), QStringLiteral("IMG_0012"));
    EXPECT_EQ(CaptionText(QStringLiteral("/x/a.b.jpg"), false), QStringLiteral("a.b"));
    EXPECT_EQ(CaptionText(QStringLiteral("./temp/photo.jpeg.bmp"), false), QStringLiteral("photo.jpeg"));
    EXPECT_EQ(CaptionText(QStringLiteral("/x/name."), false), QStringLiteral("name"));
    EXPECT_EQ(CaptionText(QStringLiteral("/x.y/noextension"), false), QStringLiteral("noextension"));
    EXPECT_EQ(CaptionText(QStringLiteral("/photos/IMG_0012.JPG"), true), QStringLiteral("IMG_0012.JPG"));
}

} // namespace
} // namespace quiltana
