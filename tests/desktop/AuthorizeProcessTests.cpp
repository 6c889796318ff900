// The helper binary's authorize action end to end, without a display: its one line arrives at
// once, nothing reaches standard error, and the process keeps running until it is ended.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "HelperEnvironment.hpp"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {


struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
    ~Pipe() {
        for (int fd : fds) {
            if (fd >= 0) ::close(fd);
        }
    }
    void closeWriteEnd() {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

// The environment without any display, so the shell must choose the off-screen platform.
std::vector<std::string> headlessEnvironment() { return kestrum::desktop::environmentWithoutDisplay(); }

class HelperProcess {
public:
    HelperProcess(const std::string& executable, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out_.fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err_.fds[1], STDERR_FILENO);
        std::vector<std::string> argumentTexts{executable};
        argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& text : argumentTexts) argv.push_back(text.data());
        argv.push_back(nullptr);
        auto environment = headlessEnvironment();
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        std::vector<char*> envp;
        for (auto& text : environment) envp.push_back(text.data());
        envp.push_back(nullptr);
        spawned_ = ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        out_.closeWriteEnd();
        err_.closeWriteEnd();
    }
    ~HelperProcess() {
        if (spawned_ && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool spawned() const { return spawned_; }

    // Standard output up to and including the first line feed (or what came before the end).
    std::string readLine(int timeoutMilliseconds) {
        std::string line;
        while (line.empty() || line.back() != '\n') {
            pollfd descriptor{out_.fds[0], POLLIN, 0};
            if (::poll(&descriptor, 1, timeoutMilliseconds) <= 0) break;
            std::array<char, 256> buffer{};
            const ssize_t count = ::read(out_.fds[0], buffer.data(), 1);
            if (count <= 0) break;
            line.append(buffer.data(), static_cast<std::size_t>(count));
        }
        return line;
    }

    // Waits up to the time for anything on standard error or for the process to end; answers
    // what arrived on standard error and whether the process is still running.
    std::pair<std::string, bool> watch(int milliseconds) {
        std::string errors;
        pollfd descriptor{err_.fds[0], POLLIN, 0};
        if (::poll(&descriptor, 1, milliseconds) > 0 && (descriptor.revents & POLLIN)) {
            std::array<char, 512> buffer{};
            const ssize_t count = ::read(err_.fds[0], buffer.data(), buffer.size());
            if (count > 0) errors.assign(buffer.data(), static_cast<std::size_t>(count));
        }
        int status = 0;
        const bool running = ::waitpid(pid_, &status, WNOHANG) == 0;
        if (!running) reaped_ = true;
        return {errors, running};
    }

private:
    Pipe out_;
    Pipe err_;
    pid_t pid_ = -1;
    bool spawned_ = false;
    bool reaped_ = false;
};

TEST(AuthorizeProcess, WritesItsLineAtOnceAndKeepsRunningSilently) {
    HelperProcess helper(KESTRUM_HELPER_PATH, {"authorize", "accessibility", "--app-url", "/Applications/Tazel.app"});
    ASSERT_TRUE(helper.spawned());
    const std::string line = helper.readLine(10000);
    EXPECT_EQ(line.rfind("{\"success\":true,\"kind\":\"accessibility\",\"status\":\"", 0), 0u) << line;
    EXPECT_EQ(line.back(), '\n');
    const auto [errors, running] = helper.watch(500);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(running);
    EXPECT_EQ(helper.readLine(0), "");  // one line only
}

TEST(AuthorizeProcess, MicrophoneOpensNoPanelButStillKeepsTheProcess) {
    HelperProcess helper(KESTRUM_HELPER_PATH, {"authorize", "microphone", "--app-url", "Tazel.App"});
    ASSERT_TRUE(helper.spawned());
    const std::string line = helper.readLine(10000);
    EXPECT_EQ(line.rfind("{\"success\":true,\"kind\":\"microphone\",\"status\":\"", 0), 0u) << line;
    const auto [errors, running] = helper.watch(300);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(running);
}

TEST(AuthorizeProcess, AnUnreachableDisplayFallsBackToTheOffScreenPlatform) {
    HelperProcess helper(KESTRUM_HELPER_PATH, {"authorize", "screenRecording", "--app-url", "/Applications/Tazel.app"},
                         {"DISPLAY=:4711"});
    ASSERT_TRUE(helper.spawned());
    const std::string line = helper.readLine(10000);
    EXPECT_EQ(line.rfind("{\"success\":true,\"kind\":\"screenRecording\",\"status\":\"", 0), 0u) << line;
    const auto [errors, running] = helper.watch(300);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(running);
}

TEST(AuthorizeProcess, WithoutTheDesktopShellBesideItTheFlowStillRuns) {
    // A copy of the helper alone in a folder: the shell cannot be loaded, panels render nothing.
    const auto folder = std::filesystem::temp_directory_path() / ("kestrum-alone-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto copy = folder / "KestrumHelper";
    std::filesystem::copy_file(KESTRUM_HELPER_PATH, copy, std::filesystem::copy_options::overwrite_existing);
    {
        HelperProcess helper(copy.string(), {"authorize", "fullDiskAccess", "--app-url", "/Applications/Tazel.app"});
        ASSERT_TRUE(helper.spawned());
        EXPECT_EQ(helper.readLine(10000), "{\"success\":true,\"kind\":\"fullDiskAccess\"}\n");
        const auto [errors, running] = helper.watch(300);
        EXPECT_EQ(errors, "");
        EXPECT_TRUE(running);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
