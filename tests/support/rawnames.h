#pragma once

// Files and folders whose names are bytes that are no valid UTF-8, made and removed with the
// system's own calls, since Qt cannot name them (nor QTemporaryDir remove them).
#include <QByteArray>
#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quiltana::test {

// The file (or folder) `name`, raw bytes, in `folder`, for the lifetime of the object.
class RawName {
public:
    enum Kind { File, Folder };

    RawName(const QString &folder, const QByteArray &name, Kind kind = File)
    {
#ifdef Q_OS_UNIX
        const QByteArray path = QFile::encodeName(folder) + '/' + name;
        if (kind == Folder) {
            if (::mkdir(path.constData(), 0755) == 0)
                path_ = path;
            return;
        }
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            return;
        const bool written = ::write(fd, "x", 1) == 1;
        ::close(fd);
        path_ = path;
        if (!written)
            remove();
#else
        Q_UNUSED(folder);
        Q_UNUSED(name);
        Q_UNUSED(kind);
#endif
    }
    ~RawName() { remove(); }
    RawName(const RawName &) = delete;
    RawName &operator=(const RawName &) = delete;

    // The full path as bytes; empty where the file system takes no such name.
    [[nodiscard]] const QByteArray &path() const { return path_; }
    [[nodiscard]] bool made() const { return !path_.isEmpty(); }

private:
    void remove()
    {
#ifdef Q_OS_UNIX
        if (!path_.isEmpty() && ::unlink(path_.constData()) != 0)
            ::rmdir(path_.constData());
#endif
        path_.clear();
    }

    QByteArray path_;
};

} // namespace quiltana::test
