#pragma once

#include <QObject>

class QSocketNotifier;

namespace quiltana {

// SIGTERM, SIGINT and SIGHUP end the program in order rather than where it stands: the handler
// only notes the signal and writes a byte into a socket pair (the way Qt's documentation gives for
// calling Qt from a Unix signal handler), which the event loop reads. Printing sees the note at
// its next safe point (before each page: StopSignalled) and gives its run up, so that no
// unfinished file stays behind; every event loop is ended (QCoreApplication::exit), and the
// program ends as after closing the window with Cancel to the question about the work files:
// they stay.
//
// One instance, made in main after the application object; its destructor puts the default
// handling back.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Whether the handlers could be put in place.
    [[nodiscard]] bool installed() const { return notifier_ != nullptr; }

private:
    void readSignal();
    QSocketNotifier *notifier_ = nullptr;
};

// Whether one of the three signals has come since the handlers were installed: safe to ask at any
// time, also while no event is being handled.
[[nodiscard]] bool StopSignalled();

} // namespace quiltana
