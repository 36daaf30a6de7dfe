#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace quiltana {

// A file that is either whole under its final name or not there at all. It is written under a
// temporary name of its own, created new (never an existing file, never through a link), and
// only once every byte is on the disk (written out, synced, its size checked) is it given its
// final name. A write that fails is remembered with the system's reason (errorNumber) and every
// later write fails too, so that a writer that ignores failed writes (Qt's PDF engine does) still
// cannot produce a file that looks whole. Until it is placed, the temporary file is removed when
// the object goes.
//
// The device only writes; it keeps its own buffer, so small writes cost no system call each.
class WholeFile : public QIODevice {
public:
    WholeFile();
    ~WholeFile() override;
    WholeFile(const WholeFile &) = delete;
    WholeFile &operator=(const WholeFile &) = delete;

    // Creates "<folder>/<prefix><six random letters><suffix>" and opens it for writing. False
    // when it cannot, errorNumber() saying why.
    bool create(const QString &folder, const QString &prefix, const QString &suffix = QString());
    // A hidden temporary file in the folder of `finalPath`, named after it: ".<name>-XXXXXX".
    bool createBeside(const QString &finalPath);

    [[nodiscard]] QString temporaryPath() const { return path_; }
    // The errno of the first failure; 0 while everything went well.
    [[nodiscard]] int errorNumber() const { return errno_; }
    [[nodiscard]] bool failed() const { return errno_ != 0; }
    // Bytes taken so far (also those still in the buffer).
    [[nodiscard]] qint64 bytesTaken() const { return taken_; }

    // After the last byte: writes out the buffer, syncs the file to the disk, checks that the file
    // holds every byte and closes it. False when anything failed (errorNumber says why).
    bool finish();
    // Gives the finished file the first free name of `base`, "name-2.ext", "name-3.ext" ...
    // without ever replacing a name that is taken (a file, a folder or a link, whether it leads
    // anywhere or not). The name given; "" when none could be (errorNumber says why).
    [[nodiscard]] QString placeAsNew(const QString &base);
    // Gives the finished file the name `path`, in place of a file or link that has it. Unlike
    // placeAsNew, the new name is not synced to the disk at once (a working file the program
    // makes again, not one the user keeps).
    bool placeReplacing(const QString &path);
    // Removes the temporary file at once; whatever is still written to the device is dropped
    // without complaint (a writer that is being ended after the job was given up).
    void discard();

    // The n-th name of the family of `base` (n from 1): base itself, then "stem-n.suffix".
    [[nodiscard]] static QString familyName(const QString &base, int n);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool writeOut();  // the buffer to the file
    void fail(int errnum);
    void closeFile(); // without checking: the file is being given up
    bool placedAs(const QString &name, bool durable);

    int fd_ = -1;
    QString path_;
    QByteArray buffer_;
    qint64 taken_ = 0;
    int errno_ = 0;
    bool finished_ = false;
    bool placed_ = false;
    bool dropping_ = false;
};

} // namespace quiltana
