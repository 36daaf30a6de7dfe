#include "stopsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quiltana {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's end [0] and the event loop's end [1] of the socket pair.
int signalSockets[2] = {-1, -1};
// The last signal that came, 0 for none; lock-free, so the handler may write it.
std::atomic<int> signalled{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onStopSignal(int signal)
{
    const int savedErrno = errno;
    signalled.store(signal);
    const char byte = static_cast<char>(signal);
    // Non-blocking: a flood of signals never holds the handler up, one byte is enough.
    [[maybe_unused]] const ssize_t n = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (signalSockets[0] >= 0)
        return; // one instance only
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) {
        signalSockets[0] = signalSockets[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::readSignal);

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // System calls under way go on; the program stops where it chooses to.
    action.sa_flags = SA_RESTART;
    for (const int s : kStopSignals)
        ::sigaction(s, &action, nullptr);
}

StopSignals::~StopSignals()
{
    if (!notifier_)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int s : kStopSignals)
        ::sigaction(s, &action, nullptr);
    delete notifier_;
    notifier_ = nullptr;
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void StopSignals::readSignal()
{
    // Empties the socket: what came is already noted for StopSignalled.
    char bytes[16];
    [[maybe_unused]] const ssize_t n = ::read(signalSockets[1], bytes, sizeof bytes);
    // Every event loop ends, a dialog's included, without the windows being asked to close:
    // quit() would ask them, and a window that refuses (the print progress does while it prints)
    // or asks a question (the main window's about the work files) would keep the program alive.
    QCoreApplication::exit(0);
}

bool StopSignalled() { return signalled.load() != 0; }

} // namespace quiltana
