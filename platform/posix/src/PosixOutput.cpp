#include "kestrum/posix/PosixOutput.hpp"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <ctime>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTRUM_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KESTRUM_SANITIZED 1
#endif
#endif
#ifdef KESTRUM_SANITIZED
#include <dlfcn.h>

#include <set>
#ifdef __linux__
#include <link.h>
#endif
#endif

// macOS has no MSG_NOSIGNAL; the SIGPIPE a send raises there is held back and taken by the guard.
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif

namespace kestrum {
namespace {

// Keeps SIGPIPE from ending the process while a write to a reader-less pipe fails with EPIPE,
// whatever the process's disposition; a SIGPIPE the write raised is taken back afterwards.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigemptyset(&pipeSet_);
        sigaddset(&pipeSet_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        blocked_ = pthread_sigmask(SIG_BLOCK, &pipeSet_, &previous_) == 0;
    }
    ~SigpipeGuard() {
        if (!blocked_) return;
        sigset_t pending;
        sigemptyset(&pending);
        // Taken only when pending, so that sigwait returns at once (macOS has no sigtimedwait).
        if (raised && !wasPending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
            int taken = 0;
            sigwait(&pipeSet_, &taken);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;
    bool raised = false;

private:
    sigset_t pipeSet_{};
    sigset_t previous_{};
    bool wasPending_ = false;
    bool blocked_ = false;
};

// Milliseconds for poll(2), rounded up so that a wait never ends before its time; none when
// the time is up (or not a number).
int pollTimeout(double seconds) {
    const double milliseconds = std::ceil(seconds * 1000);
    if (!(milliseconds > 0)) return 0;
    return milliseconds >= INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
}

}  // namespace

bool writeAllToDescriptor(int descriptor, std::string_view bytes, double timeLimit) {
    if (descriptor < 0) return bytes.empty();  // poll(2) would wait for a negative descriptor
    const auto start = std::chrono::steady_clock::now();
    struct stat info {};
    const bool socket = ::fstat(descriptor, &info) == 0 && S_ISSOCK(info.st_mode);
    SigpipeGuard guard;
    while (!bytes.empty()) {
        // The descriptor's open file description is shared with the host, so its blocking mode
        // stays as the host set it: wait here, with a deadline, until the descriptor takes bytes.
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        pollfd waiting{descriptor, POLLOUT, 0};
        const int ready = ::poll(&waiting, 1, pollTimeout(timeLimit - spent.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (waiting.revents & POLLNVAL) != 0) return false;  // time is up, or no descriptor
        // A socket takes a non-blocking send of any size. Elsewhere one write of at most
        // PIPE_BUF bytes cannot block once poll answered: a pipe then has a free buffer page.
        const ssize_t written =
            socket ? ::send(descriptor, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
                   : ::write(descriptor, bytes.data(), std::min<std::size_t>(bytes.size(), PIPE_BUF));
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (written < 0 && errno == EPIPE) guard.raised = true;
        return false;  // EPIPE, EBADF, ENOSPC, EIO...: the bytes cannot be delivered
    }
    return true;
}

bool descriptorReaderGone(int descriptor) {
    pollfd asked{descriptor, POLLOUT, 0};
    int ready = 0;
    while ((ready = ::poll(&asked, 1, 0)) < 0 && errno == EINTR) {
    }
    return ready > 0 && (asked.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

void reserveStandardDescriptors() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        // open(2) takes the lowest free number, which is this one.
        const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != descriptor) ::close(opened);
    }
}

namespace {

int keptStandardError = -1;

#ifdef KESTRUM_SANITIZED
// A sanitizer's report is the one thing besides the helper's message that must be seen: it goes
// to `descriptor`, unless a log_path sends it to a file. Every sanitizer runtime in the process
// keeps a report file of its own (GCC links the undefined-behaviour sanitizer's apart from the
// address sanitizer's), so each is told.
void sendSanitizerReportsTo(int descriptor) {
    using GetPath = const char* (*)();
    using SetDescriptor = void (*)(void*);
    std::set<SetDescriptor> told;
    auto tell = [&](void* handle) {
        auto path = reinterpret_cast<GetPath>(::dlsym(handle, "__sanitizer_get_report_path"));
        auto set = reinterpret_cast<SetDescriptor>(::dlsym(handle, "__sanitizer_set_report_fd"));
        // The runtime answers an empty path, not none, when its reports go to standard error.
        if (!path || !set || !told.insert(set).second) return;
        if (const char* current = path(); !current || !*current) {
            set(reinterpret_cast<void*>(static_cast<intptr_t>(descriptor)));
        }
    };
#ifdef __linux__
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* context) {
            if (void* handle = ::dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD)) {
                (*static_cast<decltype(tell)*>(context))(handle);
                ::dlclose(handle);
            }
            return 0;
        },
        &tell);
#else
    // Clang links one runtime for all the sanitizers of a build.
    tell(RTLD_DEFAULT);
#endif
}
#endif

}  // namespace

int setStandardErrorAside() {
    if (keptStandardError < 0) {
        const int kept = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        if (kept < 0) return STDERR_FILENO;
        keptStandardError = kept;
#ifdef KESTRUM_SANITIZED
        sendSanitizerReportsTo(kept);
#endif
    }
    // Called again after restoreStandardError(), it points descriptor 2 at /dev/null once more.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    return keptStandardError;
}

void restoreStandardError() {
    if (keptStandardError >= 0) ::dup2(keptStandardError, STDERR_FILENO);
}

bool PosixOutput::writeStandardOutput(std::string_view bytes, double timeLimit) {
    return writeAllToDescriptor(outputDescriptor_, bytes, timeLimit);
}

bool PosixOutput::writeStandardError(std::string_view bytes, double timeLimit) {
    return writeAllToDescriptor(errorDescriptor_, bytes, timeLimit);
}

bool PosixOutput::standardOutputGone() { return descriptorReaderGone(outputDescriptor_); }

void PosixOutput::exitProcess(int code) {
    std::fflush(nullptr);  // nothing of ours is buffered; a library's stdio might be
    ::_exit(code);
}

}  // namespace kestrum
