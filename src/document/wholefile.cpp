#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quiltana {

namespace {

// Bytes gathered before they go to the file in one write.
constexpr qsizetype kChunk = 256 * 1024;
// Random names tried before creating a temporary file is given up.
constexpr int kCreateTries = 100;
// The longest file name most file systems take, and what a hidden temporary name adds to the
// final one: the dot, the dash and six random letters.
constexpr qsizetype kNameMaxBytes = 255;
constexpr qsizetype kAddedBytes = 8;
// Names of a family tried before placing a file is given up.
constexpr int kFamilyTries = 100000;

QByteArray nativeName(const QString &path) { return QFile::encodeName(path); }

QString randomLetters()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString text;
    for (int i = 0; i < 6; ++i)
        text += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return text;
}

// Makes a new name in the folder of `path` last across a crash; a file system that cannot sync a
// folder loses nothing it could have kept.
void syncFolderOf(const QString &path)
{
    const int fd = ::open(nativeName(QFileInfo(path).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A file system that has no hard links (FAT, some network shares) answers link() so.
bool noHardLinks(int errnum)
{
    return errnum == EPERM || errnum == EOPNOTSUPP || errnum == ENOTSUP || errnum == ENOSYS || errnum == EMLINK;
}

} // namespace

WholeFile::WholeFile() = default;

WholeFile::~WholeFile()
{
    closeFile();
    if (!placed_ && !path_.isEmpty())
        ::unlink(nativeName(path_).constData());
}

bool WholeFile::create(const QString &folder, const QString &prefix, const QString &suffix)
{
    if (fd_ >= 0 || !path_.isEmpty()) {
        fail(EBUSY);
        return false;
    }
    for (int i = 0; i < kCreateTries; ++i) {
        const QString name = QDir(folder).filePath(prefix + randomLetters() + suffix);
        const int fd = ::open(nativeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            path_ = name;
            QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
            return true;
        }
        if (errno != EEXIST) {
            fail(errno);
            return false;
        }
    }
    fail(EEXIST);
    return false;
}

bool WholeFile::createBeside(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    // A final name near the longest a file system takes leaves no room for the additions.
    QString name = info.fileName();
    while (!name.isEmpty() && nativeName(name).size() + kAddedBytes > kNameMaxBytes)
        name.chop(name.size() >= 2 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    return create(info.path(), QLatin1Char('.') + name + QLatin1Char('-'));
}

qint64 WholeFile::readData(char *, qint64) { return -1; }

qint64 WholeFile::writeData(const char *data, qint64 size)
{
    if (dropping_)
        return size;
    if (failed() || fd_ < 0)
        return -1;
    buffer_.append(data, size);
    taken_ += size;
    if (buffer_.size() >= kChunk && !writeOut())
        return -1;
    return size;
}

bool WholeFile::writeOut()
{
    const char *p = buffer_.constData();
    qsizetype left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
            return false;
        }
        p += n;
        left -= n;
    }
    buffer_.clear();
    return true;
}

void WholeFile::fail(int errnum)
{
    if (errno_ == 0)
        errno_ = errnum != 0 ? errnum : EIO;
}

void WholeFile::closeFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    if (isOpen())
        QIODevice::close();
}

bool WholeFile::finish()
{
    if (fd_ < 0 && !finished_)
        fail(EBADF);
    if (failed() || finished_) {
        closeFile();
        return !failed();
    }
    if (writeOut()) {
        // A full disk may come to light only when the data leave the cache for the disk.
        while (::fsync(fd_) != 0) {
            if (errno != EINTR) {
                // A file system that cannot sync (a pipe, some special files) has nothing to lose.
                if (errno != EINVAL && errno != EROFS)
                    fail(errno);
                break;
            }
        }
    }
    if (!failed()) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            fail(errno);
        else if (st.st_size != taken_)
            fail(EIO); // fewer bytes in the file than were written to it
    }
    // Some file systems (network ones) report a failed write only here.
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR)
        fail(errno);
    QIODevice::close();
    finished_ = !failed();
    return finished_;
}

QString WholeFile::familyName(const QString &base, int n)
{
    if (n <= 1)
        return base;
    const QFileInfo info(base);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(stem + QLatin1Char('-') + QString::number(n) + suffix);
}

bool WholeFile::placedAs(const QString &name, bool durable)
{
    placed_ = true;
    if (durable)
        syncFolderOf(name);
    return true;
}

QString WholeFile::placeAsNew(const QString &base)
{
    if (!finished_) {
        fail(EBADF);
        return {};
    }
    const QByteArray from = nativeName(path_);
    bool linksWork = true;
    for (int n = 1; n <= kFamilyTries; ++n) {
        const QString name = familyName(base, n);
        const QByteArray to = nativeName(name);
        if (linksWork) {
            // A second name for the file, made only where the name is free: a name that is
            // taken in any form, a link that leads nowhere included, is never replaced.
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
                placedAs(name, true);
                return name;
            }
            if (errno == EEXIST)
                continue;
            if (!noHardLinks(errno)) {
                fail(errno);
                return {};
            }
            linksWork = false;
        }
        // Without hard links: the name is first taken by a new empty file of ours, created only
        // where it is free, and then replaced by the whole file in one step.
        const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            fail(errno);
            return {};
        }
        ::close(fd);
        if (::rename(from.constData(), to.constData()) != 0) {
            const int error = errno;
            ::unlink(to.constData());
            fail(error);
            return {};
        }
        placedAs(name, true);
        return name;
    }
    fail(EEXIST);
    return {};
}

bool WholeFile::placeReplacing(const QString &path)
{
    if (!finished_) {
        fail(EBADF);
        return false;
    }
    // rename() replaces a link of that name, never what it leads to.
    if (::rename(nativeName(path_).constData(), nativeName(path).constData()) != 0) {
        fail(errno);
        return false;
    }
    // A file put in the place of another is the program's own working file: its folder is not
    // synced for it.
    return placedAs(path, false);
}

void WholeFile::discard()
{
    dropping_ = true;
    // The device stays open, so that a writer still being ended writes into nothing quietly.
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    if (!placed_ && !path_.isEmpty())
        ::unlink(nativeName(path_).constData());
    path_.clear();
}

} // namespace quiltana
