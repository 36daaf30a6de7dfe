#include "smalldisk.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace quiltana::test {

SmallDisk::SmallDisk(qint64 bytes)
{
    if (!dir_.isValid()) {
        skipReason_ = QStringLiteral("no temporary folder to mount on");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    const QByteArray target = QFile::encodeName(dir_.path());
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, options.constData()) != 0) {
        skipReason_ = QStringLiteral("cannot mount a small tmpfs here (%1); run as root to test a full disk")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    mounted_ = true;
}

SmallDisk::~SmallDisk()
{
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void SmallDisk::fill(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'x');
    while (file.write(block) > 0) {
    }
}

bool SmallDisk::makeReadOnly() const
{
    return mounted_
           && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr)
                  == 0;
}

} // namespace quiltana::test
