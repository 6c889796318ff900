#include "kestrum/posix/PosixChildProcesses.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "kestrum/posix/PosixSpawn.hpp"

#ifdef __APPLE__
// macOS declares no environ, and a library that refers to it does not link: dyld keeps it.
#include <crt_externs.h>
#define environ (*_NSGetEnviron())
#else
extern char** environ;
#endif

namespace kestrum {

namespace {

struct Child {
    pid_t pid = -1;
    bool exited = false;  // waited for: its number is about to be released, no signal may follow
    bool ended = false;   // end() came: the answer is not wanted
};

}  // namespace

struct PosixChildProcesses::Watcher {
    std::mutex mutex;  // guards everything here and the flags of every Child
    std::condition_variable wake;
    bool busy = false;     // a child has been started and not yet reaped
    bool running = false;  // the thread runs
    bool closing = false;  // the port is gone: the thread ends when it has nothing to do
    struct Job {
        std::shared_ptr<Child> child;
        int output = -1;
        std::function<void(ChildAnswer)> done;
    };
    std::optional<Job> job;
};

namespace {

using Watcher = PosixChildProcesses::Watcher;

class PosixChildRun final : public ChildRun {
public:
    PosixChildRun(std::shared_ptr<Watcher> watcher, std::shared_ptr<Child> child)
        : watcher_(std::move(watcher)), child_(std::move(child)) {}
    void end() override {
        const std::lock_guard<std::mutex> lock(watcher_->mutex);
        if (child_->ended) return;
        child_->ended = true;
        if (!child_->exited) ::kill(child_->pid, SIGKILL);
    }

private:
    std::shared_ptr<Watcher> watcher_;
    std::shared_ptr<Child> child_;
};

// Reads the pipe to its end (the child exits, or is killed): the bytes before the first line
// feed are kept, the rest is drained so that a child writing more never blocks on a full pipe.
ChildAnswer readFirstLine(int descriptor) {
    ChildAnswer answer;
    bool collecting = true;
    char buffer[512];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        if (!collecting) continue;
        const std::string_view bytes(buffer, static_cast<std::size_t>(count));
        const std::size_t feed = bytes.find('\n');
        const std::size_t room = ChildAnswer::lineLimit - answer.line.size();
        answer.line.append(bytes.substr(0, std::min(feed, room)));
        if (feed != std::string_view::npos && feed <= room) {
            answer.lineEnded = true;
            collecting = false;
        } else if (bytes.size() >= room) {
            collecting = false;  // too long for a line of this program
        }
    }
    return answer;
}

// The child's line, once it has ended and been reaped.
ChildAnswer collect(Watcher& watcher, Child& child, int output) {
    ChildAnswer answer = readFirstLine(output);
    ::close(output);
    // Waited for without reaping first: until it is reaped the number stays the child's, so a
    // signal from end() cannot reach another process.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    {
        const std::lock_guard<std::mutex> lock(watcher.mutex);
        child.exited = true;
    }
    int status = 0;
    pid_t reaped = -1;
    while ((reaped = ::waitpid(child.pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (reaped == child.pid && WIFEXITED(status)) answer.exitCode = WEXITSTATUS(status);
    return answer;
}

void watch(const std::shared_ptr<Watcher>& watcher) {
    for (;;) {
        Watcher::Job job;
        {
            std::unique_lock<std::mutex> lock(watcher->mutex);
            watcher->wake.wait(lock, [&] { return watcher->job || watcher->closing; });
            if (!watcher->job) return;
            job = std::move(*watcher->job);
            watcher->job.reset();
        }
        ChildAnswer answer = collect(*watcher, *job.child, job.output);
        bool wanted = false;
        {
            const std::lock_guard<std::mutex> lock(watcher->mutex);
            watcher->busy = false;
            wanted = !job.child->ended;
        }
        if (wanted && job.done) job.done(std::move(answer));
    }
}

}  // namespace

PosixChildProcesses::PosixChildProcesses(std::function<std::string()> executablePath)
    : executablePath_(std::move(executablePath)) {}

PosixChildProcesses::~PosixChildProcesses() {
    if (!watcher_) return;
    {
        const std::lock_guard<std::mutex> lock(watcher_->mutex);
        watcher_->closing = true;
    }
    watcher_->wake.notify_all();
}

std::unique_ptr<ChildRun> PosixChildProcesses::runSelf(const std::vector<std::string>& arguments,
                                                       std::function<void(ChildAnswer)> done) {
    // Made with the first child: status and open, which start none, never touch a lock here.
    if (!watcher_) watcher_ = std::make_shared<Watcher>();
    // Never two children at a time: the last one is reaped before the next starts.
    {
        const std::lock_guard<std::mutex> lock(watcher_->mutex);
        if (watcher_->busy) return nullptr;
        watcher_->busy = true;
    }
    const auto fail = [this](int descriptor) -> std::unique_ptr<ChildRun> {
        if (descriptor >= 0) ::close(descriptor);
        const std::lock_guard<std::mutex> lock(watcher_->mutex);
        watcher_->busy = false;
        return nullptr;
    };

    std::vector<std::string> texts{executablePath_ ? executablePath_() : std::string()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    const auto hasNul = [](const std::string& text) { return text.find('\0') != std::string::npos; };
    if (texts.front().empty() || std::any_of(texts.begin(), texts.end(), hasNul)) return fail(-1);
    std::vector<char*> argv;
    for (auto& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    // This process's environment, naming this process as the child's parent.
    const std::string name = std::string(parentProcessVariable) + "=";
    std::string parent = name + std::to_string(::getpid());
    std::vector<char*> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!std::string_view(*entry).starts_with(name)) environment.push_back(*entry);
    }
    environment.push_back(parent.data());
    environment.push_back(nullptr);

    int pipe[2] = {-1, -1};
#ifdef __linux__
    if (::pipe2(pipe, O_CLOEXEC) != 0) return fail(-1);
#else
    // No pipe2 on macOS; the children of this program are spawned with only the descriptors
    // their file actions set up, so the moment before close-on-exec is set leaks nothing.
    if (::pipe(pipe) != 0) return fail(-1);
    ::fcntl(pipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(pipe[1], F_SETFD, FD_CLOEXEC);
#endif
    pid_t pid = -1;
    int spawned = -1;
    {
        const SpawnSetup setup(pipe[1]);
        if (setup.okay()) {
            spawned = ::posix_spawn(&pid, texts.front().c_str(), setup.actions(), setup.attributes(), argv.data(),
                                    environment.data());
        }
    }
    ::close(pipe[1]);
    if (spawned != 0) return fail(pipe[0]);

    auto child = std::make_shared<Child>();
    child->pid = pid;
    {
        const std::lock_guard<std::mutex> lock(watcher_->mutex);
        if (!watcher_->running) {
            try {
                std::thread(watch, watcher_).detach();
                watcher_->running = true;
            } catch (const std::system_error&) {
                // No thread to spare: the child has only just started; end and collect it here.
                ::kill(pid, SIGKILL);
                while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
                }
                ::close(pipe[0]);
                watcher_->busy = false;
                return nullptr;
            }
        }
        watcher_->job = Watcher::Job{child, pipe[0], std::move(done)};
    }
    watcher_->wake.notify_one();
    return std::make_unique<PosixChildRun>(watcher_, child);
}

}  // namespace kestrum
