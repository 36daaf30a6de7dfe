#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace quiltana::test {

// A small file system of its own (tmpfs) on a fresh folder, for the tests of a full or a read-only
// disk; unmounted when the object goes. Mounting needs root: where it is not permitted,
// mounted() is false and skipReason() says why.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes)
    {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        mounted_ = dir_.isValid() && ::mount("tmpfs", target().constData(), "tmpfs", 0, options.constData()) == 0;
        if (!mounted_)
            skipReason_ = QStringLiteral("cannot mount a small tmpfs here (%1); run as root to test a full disk")
                              .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(target().constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] QString skipReason() const { return skipReason_; }
    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString filePath(const QString &name) const { return dir_.filePath(name); }
    // Fills the disk to its last byte with one file of that name.
    void fill(const QString &name) const
    {
        QFile file(filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (file.write(QByteArray(4096, 'x')) > 0) {
            }
    }
    // From now on the disk refuses every change (EROFS).
    [[nodiscard]] bool makeReadOnly() const
    {
        return ::mount("tmpfs", target().constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    [[nodiscard]] QByteArray target() const { return QFile::encodeName(dir_.path()); }
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString skipReason_;
};

} // namespace quiltana::test
