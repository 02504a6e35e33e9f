#include "platform/EndSignals.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <functional>

#ifdef Q_OS_WIN

#include <QAbstractNativeEventFilter>
#include <utility>
#include <windows.h>

struct EndSignals::Source final : QAbstractNativeEventFilter {
    std::function<void()> ends;

    explicit Source(std::function<void()> whenEnding) : ends(std::move(whenEnding)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Source() override {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override {
        const MSG* msg = static_cast<const MSG*>(message);
        // wParam FALSE: the end was called off. Every top-level window hears it, and the
        // client ends at the first; all of it before the answer, for then Windows may end the
        // process.
        if (type != "windows_generic_MSG" || msg->message != WM_ENDSESSION || !msg->wParam)
            return false;
        ends();
        // Taken: what Qt would do next, quit and first close every window as if the operator
        // had, is done already and our way. A message to no window has no answer.
        if (result)
            *result = 0;
        return true;
    }
};

EndSignals::EndSignals(QObject* parent)
    : QObject(parent), m_source(std::make_unique<Source>([this] { emit endRequested(); })) {}

#else

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};
// Where the handler writes; set before a handler is installed, and only then.
volatile sig_atomic_t handlerWrites = -1;

extern "C" void onEndSignal(int) {
    // Nothing but write(2) is safe here. A full socket already holds a wake-up.
    const int saved = errno;
    const char byte = 1;
    if (::write(handlerWrites, &byte, 1) < 0) {
    }
    errno = saved;
}

} // namespace

struct EndSignals::Source {
    std::array<int, 2> pair{-1, -1}; // written by the handler, read by the event loop
    std::array<struct sigaction, kSignals.size()> previous{};
    std::array<bool, kSignals.size()> installed{};
    std::unique_ptr<QSocketNotifier> notifier;

    explicit Source(const std::function<void()>& ends) {
        Q_ASSERT(handlerWrites == -1);
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair.data()) !=
            0) {
            qWarning("A signal ends the program without its end steps: no socket pair (%s)",
                     qPrintable(qt_error_string(errno)));
            return;
        }
        notifier = std::make_unique<QSocketNotifier>(pair[1], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, ends] {
            char bytes[16];
            while (::read(pair[1], bytes, sizeof bytes) > 0) {
            }
            ends();
        });
        handlerWrites = pair[0];
        for (size_t i = 0; i < kSignals.size(); ++i) {
            if (::sigaction(kSignals[i], nullptr, &previous[i]) != 0 ||
                previous[i].sa_handler == SIG_IGN)
                continue;
            struct sigaction action {};
            action.sa_handler = onEndSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
    ~Source() {
        for (size_t i = 0; i < kSignals.size(); ++i)
            if (installed[i])
                ::sigaction(kSignals[i], &previous[i], nullptr);
        if (pair[0] < 0)
            return;
        handlerWrites = -1;
        notifier.reset();
        ::close(pair[0]);
        ::close(pair[1]);
    }
};

EndSignals::EndSignals(QObject* parent)
    : QObject(parent), m_source(std::make_unique<Source>([this] { emit endRequested(); })) {}

#endif

EndSignals::~EndSignals() = default;
