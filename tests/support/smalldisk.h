#pragma once

#include <QString>
#include <QTemporaryDir>

namespace quiltana::test {

// A small file system of its own (tmpfs) mounted on a fresh folder, for the tests of a full or a
// read-only disk; unmounted again when the object goes. Mounting needs root (CAP_SYS_ADMIN):
// where it is not permitted, mounted() is false and skipReason() says why.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] QString skipReason() const { return skipReason_; }
    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString filePath(const QString &name) const { return dir_.filePath(name); }
    // Fills the disk to its last byte with one file of that name.
    void fill(const QString &name) const;
    // From now on the disk refuses every change (EROFS). False when it cannot be remounted so.
    bool makeReadOnly() const;

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString skipReason_;
};

} // namespace quiltana::test
