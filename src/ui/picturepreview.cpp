#include "picturepreview.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "paths.h"

namespace quiltana {

PicturePreview::PicturePreview(QWidget *parent)
    : QFrame(parent), picture_(new QLabel(this)), size_(new QLabel(this)),
      latest_(std::make_shared<std::atomic<quint64>>(0))
{
    setFrameShape(QFrame::StyledPanel);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFixedSize(kSide, kSide);
    picture_->setWordWrap(true);
    size_->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture_);
    layout->addWidget(size_);
    layout->addStretch();
    connect(&watcher_, &QFutureWatcher<PicturePreviewImage>::finished, this, [this] {
        // A file chosen since (one with no preview to decode) has taken the preview's place.
        if (watchedTicket_ != latest_->load())
            return;
        display(pending_, watcher_.future().resultCount() > 0 ? watcher_.result() : PicturePreviewImage{});
    });
}

PicturePreview::~PicturePreview()
{
    // A decode still running finishes on its own and its result is dropped: closing the
    // dialog never waits for it.
    ++*latest_;
}

void PicturePreview::showFile(const QString &path)
{
    const quint64 ticket = ++*latest_;
    pending_ = path;
    if (path.isEmpty()) {
        display(path, {});
        return;
    }
    // A file of a kind the program does not read is refused without being read: at once.
    if (pictureKindOf(path) == PictureKind::None) {
        display(path, DecodePreview(path, kSide));
        return;
    }
    watchedTicket_ = ticket;
    watcher_.setFuture(QtConcurrent::run([path, ticket, latest = latest_]() -> PicturePreviewImage {
        if (latest->load() != ticket)
            return {};
        return DecodePreview(path, kSide);
    }));
}

bool PicturePreview::hasPicture() const
{
    return !picture_->pixmap().isNull();
}

void PicturePreview::display(const QString &path, const PicturePreviewImage &preview)
{
    shown_ = path;
    if (preview.image.isNull()) {
        picture_->clear();
        size_->clear();
        // A file that cannot be shown says so in the square, and why.
        if (!preview.error.isEmpty())
            picture_->setText(QStringLiteral("表示できません\n\n") + preview.error);
    } else {
        picture_->setPixmap(QPixmap::fromImage(preview.image));
        size_->setText(QStringLiteral("%1 x %2").arg(preview.fullSize.width()).arg(preview.fullSize.height()));
    }
    emit previewShown(path, !preview.image.isNull());
}

} // namespace quiltana
