#include "kestrum/linux/PosixOutput.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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
        // Taken back with sigwait, which returns at once for a pending signal (and, unlike
        // sigtimedwait, exists on macOS too).
        sigset_t pending;
        sigemptyset(&pending);
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

}  // namespace

void writeAllToDescriptor(int descriptor, std::string_view bytes) {
    SigpipeGuard guard;
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd waiting{descriptor, POLLOUT, 0};
            while (::poll(&waiting, 1, -1) < 0 && errno == EINTR) {
            }
            if ((waiting.revents & (POLLERR | POLLNVAL)) != 0) return;
            continue;  // POLLHUP is answered by the next write with EPIPE
        }
        if (written < 0 && errno == EPIPE) guard.raised = true;
        return;  // EPIPE, EBADF, ENOSPC, EIO...: the bytes cannot be delivered
    }
}

void reserveStandardDescriptors() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        // open(2) takes the lowest free number, which is this one.
        const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != descriptor) ::close(opened);
    }
}

void PosixOutput::writeStandardOutput(std::string_view bytes) { writeAllToDescriptor(outputDescriptor_, bytes); }

void PosixOutput::writeStandardError(std::string_view bytes) { writeAllToDescriptor(errorDescriptor_, bytes); }

void PosixOutput::exitProcess(int code) {
    std::fflush(nullptr);  // nothing of ours is buffered; a library's stdio might be
    ::_exit(code);
}

}  // namespace kestrum
