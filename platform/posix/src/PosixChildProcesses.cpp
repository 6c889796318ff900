#include "kestrum/posix/PosixChildProcesses.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

#include "kestrum/posix/PosixSpawn.hpp"

extern char** environ;

namespace kestrum {
namespace {

struct RunState {
    pid_t pid = -1;
    std::mutex mutex;     // guards the two flags, and the signal end() sends
    bool exited = false;  // the child has ended; its number is about to be released
    bool ended = false;   // end() came: the answer is not wanted
};

class PosixChildRun final : public ChildRun {
public:
    explicit PosixChildRun(std::shared_ptr<RunState> state) : state_(std::move(state)) {}
    void end() override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->ended) return;
        state_->ended = true;
        if (!state_->exited) ::kill(state_->pid, SIGKILL);
    }

private:
    std::shared_ptr<RunState> state_;
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

void watchChild(const std::shared_ptr<RunState>& state, int output, const std::shared_ptr<std::atomic<bool>>& busy,
                const std::function<void(ChildAnswer)>& done) {
    ChildAnswer answer = readFirstLine(output);
    ::close(output);
    // Waited for without reaping first: until it is reaped the number stays the child's, so a
    // signal from end() cannot reach another process.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(state->pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->exited = true;
    }
    int status = 0;
    pid_t reaped = -1;
    while ((reaped = ::waitpid(state->pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (reaped == state->pid && WIFEXITED(status)) answer.exitCode = WEXITSTATUS(status);
    busy->store(false);
    bool wanted = false;
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        wanted = !state->ended;
    }
    if (wanted && done) done(std::move(answer));
}

}  // namespace

std::unique_ptr<ChildRun> PosixChildProcesses::runSelf(const std::vector<std::string>& arguments,
                                                       std::function<void(ChildAnswer)> done) {
    // Never two children at a time: the last one is reaped before the next starts.
    if (busy_->exchange(true)) return nullptr;
    const auto fail = [this](int descriptor) -> std::unique_ptr<ChildRun> {
        if (descriptor >= 0) ::close(descriptor);
        busy_->store(false);
        return nullptr;
    };

    std::vector<std::string> texts{executablePath_ ? executablePath_() : std::string()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    if (texts.front().empty() ||
        std::any_of(texts.begin(), texts.end(), [](const std::string& text) { return text.find('\0') != std::string::npos; })) {
        return fail(-1);
    }
    std::vector<char*> argv;
    for (auto& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

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
            spawned = ::posix_spawn(&pid, texts.front().c_str(), setup.actions(), setup.attributes(), argv.data(), environ);
        }
    }
    ::close(pipe[1]);
    if (spawned != 0) return fail(pipe[0]);

    auto state = std::make_shared<RunState>();
    state->pid = pid;
    try {
        std::thread(watchChild, state, pipe[0], busy_, std::move(done)).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child has only just started; end and collect it here.
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return fail(pipe[0]);
    }
    return std::make_unique<PosixChildRun>(state);
}

}  // namespace kestrum
