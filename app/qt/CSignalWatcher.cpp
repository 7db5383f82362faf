#include "app/qt/CSignalWatcher.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

volatile sig_atomic_t CSignalWatcher::s_writeEnd = -1;

CSignalWatcher::CSignalWatcher(std::function<void()> onSignal) : m_onSignal(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_sockets) != 0) {
        m_sockets[0] = m_sockets[1] = -1;
        return;
    }
    s_writeEnd = m_sockets[0];
    m_notifier = std::make_unique<QSocketNotifier>(m_sockets[1], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { OnReadable(); });

    struct sigaction action = {};
    action.sa_handler = &CSignalWatcher::Handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        // A signal ignored from the start (nohup) stays ignored.
        if (::sigaction(kSignals[i], nullptr, &m_previous[i]) == 0 &&
            m_previous[i].sa_handler != SIG_IGN) {
            m_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
}

CSignalWatcher::~CSignalWatcher() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (m_installed[i]) {
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        }
    }
    s_writeEnd = -1;
    m_notifier.reset();
    for (const int socket : m_sockets) {
        if (socket >= 0) {
            ::close(socket);
        }
    }
}

void CSignalWatcher::Handle(int signal) {
    // Only what is safe in a signal handler: one write, errno as it was.
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
    if (::write(static_cast<int>(s_writeEnd), &byte, 1) < 0) {
        // Full: a signal is on its way already.
    }
    errno = savedErrno;
}

void CSignalWatcher::OnReadable() {
    char bytes[16];
    while (::read(m_sockets[1], bytes, sizeof bytes) > 0) {
    }
    m_onSignal();
}
