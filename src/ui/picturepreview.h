#pragma once

#include <QFrame>
#include <QFutureWatcher>
#include <QString>

#include <atomic>
#include <memory>

#include "preview.h"

class QLabel;

namespace quiltana {

// The picture preview beside the open dialog's file list. The file the user points at is
// decoded on a worker thread with the program's own decoders and bounds, and shown when it is
// ready, so that a large or hostile file never holds up the dialog; pointing at another file
// meanwhile drops the first one's result.
class PicturePreview : public QFrame {
    Q_OBJECT

public:
    static constexpr int kSide = 200; // the preview square, in pixels

    explicit PicturePreview(QWidget *parent = nullptr);
    ~PicturePreview() override;

    // Shows the preview of `path` once it is decoded; an empty path clears it. A file that
    // cannot be shown gets "表示できません" and the decoder's reason, without the path.
    void showFile(const QString &path);

    [[nodiscard]] QString shownFile() const { return shown_; }
    [[nodiscard]] bool hasPicture() const;

signals:
    // The preview of `path` is on display: its picture, or nothing when it has none.
    void previewShown(const QString &path, bool hasPicture);

private:
    void display(const QString &path, const PicturePreviewImage &preview);

    QLabel *picture_;
    QLabel *size_;
    QString shown_;
    QString pending_;
    QFutureWatcher<PicturePreviewImage> watcher_;
    quint64 watchedTicket_ = 0; // the request whose decode watcher_ follows
    // Raised with every request; a queued decode that is no longer the latest skips its work.
    std::shared_ptr<std::atomic<quint64>> latest_;
};

} // namespace quiltana
