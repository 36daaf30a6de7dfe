#include "compose.h"
#include "decode.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <vector>

#include "decodeahead.h"
#include "decodecost.h"
#include "document.h"
#include "pagesetup.h"
#include "paths.h"
#include "picture.h"

namespace quiltana {

void DrawFrameRectangle(QPainter &canvas, const Rect &rect)
{
    const int w = rect.width();
    const int h = rect.height();
    if (w <= 0 || h <= 0)
        return;
    // Filled rectangles on whole pixels cover exactly the pixels asked for, whatever the pen
    // geometry and antialiasing of the painter; a stroked outline would not.
    const QColor outline = canvas.pen().color();
    canvas.fillRect(QRect(rect.left, rect.top, w, h), canvas.brush().color());
    canvas.fillRect(QRect(rect.left, rect.top, w, 1), outline);
    canvas.fillRect(QRect(rect.left, rect.bottom - 1, w, 1), outline);
    canvas.fillRect(QRect(rect.left, rect.top, 1, h), outline);
    canvas.fillRect(QRect(rect.right - 1, rect.top, 1, h), outline);
}

QString CaptionText(const QString &path, bool keepExtension)
{
    const QString name = fileNamePart(path);
    if (keepExtension)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

std::optional<QPoint> CaptionOrigin(CaptionPosition position, bool turned, const Rect &picture, int textWidth,
                                    int textHeight)
{
    const int L = picture.left;
    const int T = picture.top;
    const int R = picture.right;
    const int B = picture.bottom;
    const int TW = textWidth;
    const int TH = textHeight;
    using enum CaptionPosition;
    if (!turned) {
        switch (position) {
        case TopLeft: return QPoint(L, T);
        case BottomLeft: return QPoint(L, B - TH);
        case TopCentre: return QPoint(L + (R - L - TW) / 2, T);
        case BottomCentre: return QPoint(L + (R - L - TW) / 2, B - TH);
        case TopRight: return QPoint(R - TW, T);
        case BottomRight: return QPoint(R - TW, B - TH);
        default: return std::nullopt;
        }
    }
    // Turned text hangs to the left of its reference point and runs downward; the positions
    // are those of the picture before it was turned, whose top edge now lies on the right.
    switch (position) {
    case TopLeft: return QPoint(R, T);
    case BottomLeft: return QPoint(L + TH, T);
    case TopCentre: return QPoint(R, T + (B - T - TW) / 2);
    case BottomCentre: return QPoint(L + TH, T + (B - T - TW) / 2);
    case TopRight: return QPoint(R, B - TW);
    case BottomRight: return QPoint(L + TH, B - TW);
    default: return std::nullopt;
    }
}

QFont CaptionFont(const FontSpec &spec)
{
    QFont font(spec.face);
    font.setPointSize(std::max(1, spec.pointSize));
    font.setWeight(QFont::Normal);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeOut);
    return font;
}

void DrawCaption(QPainter &canvas, const Rect &picture, const QString &path, Turn orientation,
                 const PageSetup &setup)
{
    if (!isCaptionPosition(setup.captionPosition))
        return;
    const QString text = CaptionText(path, setup.captionExtension);
    const FontSpec &spec = setup.captionFont;

    // Points on the painter's own device: the paint device's vertical resolution turns them
    // into dots, so the caption has the same size on paper at any printer resolution.
    canvas.setFont(CaptionFont(spec));
    canvas.setBrush(QBrush(Qt::white, setup.transparentCaptions ? Qt::NoBrush : Qt::SolidPattern));

    const QFontMetrics metrics = canvas.fontMetrics();
    const int textWidth = metrics.horizontalAdvance(text);
    const int textHeight = metrics.height();
    const bool turned = orientation == Turn::Right;
    const std::optional<QPoint> origin =
        CaptionOrigin(setup.captionPosition, turned, picture, textWidth, textHeight);
    if (!origin)
        return;

    const QTransform saved = canvas.transform();
    const QPen pen = canvas.pen();
    canvas.translate(*origin);
    if (turned)
        canvas.rotate(90);
    if (!setup.transparentCaptions)
        canvas.fillRect(QRect(0, 0, textWidth, textHeight), Qt::white);
    canvas.setPen(spec.color);
    canvas.drawText(QPoint(0, metrics.ascent()), text);
    canvas.setPen(pen);
    canvas.setTransform(saved);
}

namespace {

// What the pictures decoded for paper side by side may hold at once, results waiting to be
// drawn included; a picture larger than that decodes alone, so a page of one huge picture
// still prints.
constexpr qint64 kPrintDecodeBudgetBytes = 128LL * 1024 * 1024;
// How many pictures per worker the decodings may run ahead of the one being drawn.
constexpr std::size_t kPrintAheadPerWorker = 4;

// The pictures of a page decoded on worker threads for print, taken in position order. An error
// is kept and thrown again when its position's turn comes, so what the page shows before it
// is drawn exactly as without workers. Each picture file is opened once, for the estimate of
// its cost, and its decoding reads that same open file; the handle is closed as the decoding
// ends, or as its position is taken or the pool goes when it never ran (so at most the pool's
// window of them is open).
class PrintPicturesAhead {
public:
    PrintPicturesAhead(const PageLists &page, const std::vector<Rect> &cells, std::size_t positions)
        : cells_(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(positions)), files_(positions)
    {
        for (std::size_t p = 0; p < positions; ++p) {
            const bool drawn = page.redraw[p] == Redraw::Draw;
            paths_.push_back(drawn ? page.workPath[p] : QString());
            orientations_.push_back(page.orientation[p]);
        }
        const int workers = std::max(1, QThread::idealThreadCount());
        pool_.emplace(
            positions, workers, static_cast<std::size_t>(workers) * kPrintAheadPerWorker,
            kPrintDecodeBudgetBytes, [this](std::size_t p) { return cost(p); },
            [this](std::size_t p) { return prepare(p); }, &stop_);
    }

    // The picture of position p, fitted into its cell; throws what its decoding, or the
    // estimate of its cost, threw.
    FittedPicture take(std::size_t p)
    {
        Outcome outcome = pool_->take(p);
        files_[p].reset(); // its job is over, whether it ran or not
        if (outcome.error)
            std::rethrow_exception(outcome.error);
        return std::move(outcome.picture);
    }

private:
    struct Outcome {
        FittedPicture picture;
        std::exception_ptr error;
    };

    [[nodiscard]] AheadCost cost(std::size_t p)
    {
        const QString &path = paths_[p];
        if (path.isEmpty())
            return {};
        // The finished picture is at most its cell, sampled there as stored and then turned
        // (by the camera, then by the user) one copy after the other.
        const qint64 cellBytes = static_cast<qint64>(std::max(cells_[p].width(), 0))
                                 * std::max(cells_[p].height(), 0) * 3;
        // Opened with the decoding's own checks. A file that cannot be opened costs nothing
        // here: its decoding opens it again and reports why it cannot.
        FilePtr file;
        if (pictureKindOf(path) != PictureKind::None) {
            try {
                file = OpenPictureFile(path);
            } catch (const Error &) {
            }
        }
        const AheadCost c{(file ? HeldBytesWhileDecoding(path, file.get()) : 0) + 4 * cellBytes, cellBytes};
        files_[p] = std::move(file);
        return c;
    }

    [[nodiscard]] Outcome prepare(std::size_t p) noexcept
    {
        Outcome outcome;
        try {
            // Closed as the decoding ends; without workers nothing opened it yet.
            const FilePtr file = std::move(files_[p]);
            if (!paths_[p].isEmpty())
                outcome.picture = FitPictureFile(cells_[p], paths_[p], orientations_[p], &stop_, file.get());
        } catch (...) {
            outcome.error = std::current_exception();
        }
        return outcome;
    }

    std::vector<Rect> cells_;
    std::vector<QString> paths_;
    std::vector<Turn> orientations_;
    // The picture files opened for the estimate, each kept for its decoding (written and taken
    // by the one worker handling its position, or cleared by the taker once it is done).
    std::vector<FilePtr> files_;
    // Set as the pool goes before every picture was taken (a picture failed, the painter
    // threw): the decodings still running give up within a few rows rather than finish.
    StopFlag stop_{false};
    std::optional<DecodeAhead<Outcome>> pool_; // last: its workers stop before the lists go
};

} // namespace

void ComposePage(QPainter &canvas, Document &doc, const PageSetup &setup, int W, int H, FrameSwitch frames,
                 ComposeMode mode)
{
    const Margins margins{setup.topDots,    setup.bottomDots,          setup.leftDots,
                          setup.rightDots,  setup.verticalSpacingDots, setup.horizontalSpacingDots};
    const bool print = mode == ComposeMode::Print;
    const std::vector<Rect> cells = CellRects(doc.layoutStyle, W, H, margins, mode);
    const std::size_t positions = std::min<std::size_t>(cells.size(), kPagePositions);

    if (frames == FrameSwitch::Draw) {
        // Black outline, white fill: the fill is what erases a cell's old picture when the
        // preview redraws one cell over the existing back buffer.
        canvas.setPen(QPen(Qt::black, 1));
        canvas.setBrush(QBrush(Qt::white, Qt::SolidPattern));
        for (std::size_t p = 0; p < positions; ++p)
            if (doc.page.redraw[p] == Redraw::Draw)
                DrawFrameRectangle(canvas, CellFrameRect(doc.layoutStyle, cells[p], W, H));
    }

    // On paper the pictures are decoded on every core ahead of the drawing, which takes them in
    // cell order; the screen's work copies are small and drawn as they come.
    std::optional<PrintPicturesAhead> ahead;
    if (print)
        ahead.emplace(doc.page, cells, positions);

    for (std::size_t p = 0; p < positions; ++p) {
        if (doc.page.redraw[p] != Redraw::Draw)
            continue;
        // Consumed before drawing: a picture that fails is not tried again by the next render.
        doc.page.redraw[p] = Redraw::Done;
        const QString path = doc.page.workPath[p];
        const Turn orientation = doc.page.orientation[p];
        std::optional<Rect> picture;
        try {
            picture = ahead ? DrawFittedPicture(canvas, ahead->take(p))
                            : DrawPicture(canvas, cells[p], path, orientation);
        } catch (const PictureError &e) {
            // The preview draws a stand-in, the work copy; the user knows only the picture.
            // (Printing draws the pictures themselves.)
            if (print)
                throw;
            const QString &own = doc.cell(doc.absoluteCell(static_cast<int>(p))).picturePath;
            if (own.isEmpty() || own == path)
                throw;
            throw Error(FileErrorText(own, QStringLiteral("作業ファイルを表示できません。") + e.reason(), e.detail()));
        }
        if (!picture)
            continue;
        if (print && setup.captionOption)
            DrawCaption(canvas, *picture, path, orientation, setup);
    }
}

} // namespace quiltana
