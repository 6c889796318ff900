#pragma once
// Starts the helper binary with chosen arguments, environment and standard output, and
// collects what it wrote and how it ended.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempDirectory.hpp"

namespace kestrum::e2e {

inline const std::string kHelperPath = KESTRUM_HELPER_PATH;

// How the helper's standard output is connected: a pipe the test reads; closed; a pipe whose
// reader has gone; a pipe already full that nobody reads; a pipe nobody reads; a pipe read up
// to the first line feed, after which the process is killed (for authorize, which stays alive).
enum class StandardOutput { captured, closed, brokenPipe, full, neverRead, firstLine };

struct ProcessResult {
    // For `full` and `neverRead`, what the pipe held after the helper ended (the filling left out).
    std::string standardOutput;
    std::string standardError;
    std::optional<int> exitCode;  // absent when a signal ended it
    int signal = 0;
    pid_t pid = -1;
    bool hung = false;  // still running after the harness's patience; it was killed
};

using testing_support::TempDirectory;

inline std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small, fixed environment so that nothing of the test runner's session leaks in.
inline std::vector<std::string> baseEnvironment() { return {"PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8"}; }

struct HelperRun {
    std::vector<std::string> arguments;
    std::vector<std::string> environment = baseEnvironment();
    StandardOutput output = StandardOutput::captured;
    std::string program = kHelperPath;
    std::string workingDirectory;  // the test's own when empty
    // A descriptor of the test's that the helper inherits as number kInheritedNumber, as a
    // careless host leaves one open and inheritable.
    int inheritedDescriptor = -1;
};

inline constexpr int kInheritedNumber = 42;

namespace detail {

inline void setNonBlocking(int descriptor, bool on) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    ::fcntl(descriptor, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

// Everything the pipe holds now, without waiting.
inline std::string drainNow(int descriptor) {
    setNonBlocking(descriptor, true);
    std::string bytes;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(descriptor, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

}  // namespace detail

// Runs a program to its end (killing it after two minutes, which no run should need).
inline ProcessResult runProcess(const HelperRun& run) {
    ProcessResult result;
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return result;
    std::size_t filling = 0;
    if (run.output == StandardOutput::brokenPipe) {
        ::close(out[0]);  // nobody will ever read what the helper writes
        out[0] = -1;
    } else if (run.output == StandardOutput::full) {
        detail::setNonBlocking(out[1], true);
        while (::write(out[1], "x", 1) == 1) ++filling;
        detail::setNonBlocking(out[1], false);  // as blocking as a host's pipe usually is
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (run.output == StandardOutput::closed) {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Nothing else of the test's reaches the helper (a test runner may leave descriptors open,
    // which would change what the descriptor-limit cases leave free).
    if (run.inheritedDescriptor >= 0) {
        posix_spawn_file_actions_adddup2(&actions, run.inheritedDescriptor, kInheritedNumber);
        posix_spawn_file_actions_addclosefrom_np(&actions, kInheritedNumber + 1);
    } else {
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    }
    if (!run.workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, run.workingDirectory.c_str());

    std::vector<std::string> argvStrings{run.program};
    argvStrings.insert(argvStrings.end(), run.arguments.begin(), run.arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = run.environment;
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    const int spawned = ::posix_spawn(&result.pid, run.program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        if (out[0] >= 0) ::close(out[0]);
        ::close(err[0]);
        return result;
    }

    // Read the streams until they reach their end: the end of standard output also proves that
    // no process the helper started still holds it. A pipe nobody reads is looked at afterwards.
    const bool readOutput = run.output == StandardOutput::captured || run.output == StandardOutput::firstLine;
    pollfd fds[2] = {{readOutput ? out[0] : -1, POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.standardOutput, &result.standardError};
    int open = (readOutput ? 1 : 0) + 1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (open > 0 && !result.hung) {
        const int ready = ::poll(fds, 2, 100);
        if (ready < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > deadline) result.hung = true;
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
                if (run.output == StandardOutput::firstLine && i == 0 &&
                    result.standardOutput.find('\n') != std::string::npos) {
                    ::kill(result.pid, SIGKILL);
                }
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }

    int status = 0;
    while (::waitpid(result.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.hung = true;
            ::kill(result.pid, SIGKILL);
        }
        ::poll(nullptr, 0, 10);
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    for (auto& fd : fds) {
        if (fd.fd >= 0) ::close(fd.fd);
    }
    if (!readOutput && out[0] >= 0) {
        result.standardOutput = detail::drainNow(out[0]).substr(filling);
        ::close(out[0]);
    }
    return result;
}

// What the helper wrote to standard output in each run of the current test.
inline std::vector<std::string>& helperOutputs() {
    static std::vector<std::string> outputs;
    return outputs;
}

inline ProcessResult runHelper(const HelperRun& run) {
    ProcessResult result = runProcess(run);
    if (!result.standardOutput.empty()) helperOutputs().push_back(result.standardOutput);
    return result;
}

inline ProcessResult runHelper(const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment = baseEnvironment(),
                               StandardOutput output = StandardOutput::captured) {
    HelperRun run;
    run.arguments = arguments;
    run.environment = environment;
    run.output = output;
    return runHelper(run);
}

// Every line the helper wrote during a test is checked against the documented schema of the
// output line when the test ends, so the schema and the program cannot drift apart.
class OutputSchemaCheckedTest : public testing::Test {
protected:
    void SetUp() override { helperOutputs().clear(); }
    void TearDown() override {
        if (helperOutputs().empty()) return;
        TempDirectory temp;
        HelperRun check;
        check.program = KESTRUM_PYTHON3;
        check.arguments = {KESTRUM_OUTPUT_LINE_CHECK, KESTRUM_OUTPUT_SCHEMA};
        for (std::size_t i = 0; i < helperOutputs().size(); ++i) {
            check.arguments.push_back(temp.write("output" + std::to_string(i), helperOutputs()[i]));
        }
        const auto checked = runProcess(check);
        helperOutputs().clear();
        if (checked.exitCode == 77) {
            std::cout << "output schema not checked: " << checked.standardError;
            return;
        }
        EXPECT_EQ(checked.exitCode, 0) << checked.standardOutput << checked.standardError;
    }
};

}  // namespace kestrum::e2e
