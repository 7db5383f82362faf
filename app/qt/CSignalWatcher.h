#pragma once

#include <QSocketNotifier>

#include <functional>
#include <iterator>
#include <memory>
#include <signal.h>

// The POSIX signals that end a desktop session without asking (SIGTERM from the
// service manager, SIGHUP when the terminal goes, SIGINT for Ctrl+C) turned
// into a call on the event loop. The handler only writes to a socket pair; a
// notifier on its other end runs the call, where Qt may be used. One watcher at
// a time; the signals' earlier handling comes back when it goes. Without a
// socket pair (no descriptor left) the signals keep their earlier handling:
// the program runs all the same.
class CSignalWatcher {
public:
    explicit CSignalWatcher(std::function<void()> onSignal);
    CSignalWatcher(const CSignalWatcher&) = delete;
    CSignalWatcher& operator=(const CSignalWatcher&) = delete;
    ~CSignalWatcher();

private:
    static void Handle(int signal);
    void OnReadable();

    static constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
    // Read by the handler: only a sig_atomic_t is sure to be read whole there.
    static volatile sig_atomic_t s_writeEnd;

    std::function<void()> m_onSignal;
    int m_sockets[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previous[std::size(kSignals)] = {};
    bool m_installed[std::size(kSignals)] = {};
};
