#include "core/app/termination_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes a byte into the pipe; the event loop reads it (the self-pipe trick:
// almost nothing is safe to do inside a signal handler).
int signalPipe[2] = {-1, -1};

constexpr int handledSignals[] = {SIGTERM, SIGHUP};

extern "C" void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool quitOnTerminationSignals(QCoreApplication &app)
{
    if (signalPipe[0] >= 0)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    // A full pipe must not block the handler: one byte waiting is enough to quit.
    ::fcntl(signalPipe[0], F_SETFL, ::fcntl(signalPipe[0], F_GETFL) | O_NONBLOCK);

    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[1], &byte, 1);
        notifier->setEnabled(false);
        // Waiting for the saves may take a while; asked again, the process ends as usual.
        for (const int signal : handledSignals)
            std::signal(signal, SIG_DFL);
        // Not quit(): that asks the windows, which may refuse; this ends the loop as is.
        QCoreApplication::exit(0);
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}
