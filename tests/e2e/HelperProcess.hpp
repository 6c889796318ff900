#pragma once
// Starts the helper binary with chosen arguments, environment and standard output, and
// collects what it wrote and how it ended; tests built on OutputSchemaCheckedTest also check
// every line it wrote against the documented output schema.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// How the helper's standard output is connected. `firstLine` reads up to the first line feed
// and then kills the process (for authorize, which stays alive).
enum class StandardOutput { captured, closed, brokenPipe, firstLine };

struct ProcessResult {
    std::string standardOutput;
    std::string standardError;
    std::optional<int> exitCode;  // absent when a signal ended it
    int signal = 0;
    pid_t pid = -1;
};

using testing_support::TempDirectory;

inline std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small, fixed environment so that nothing of the test runner's session leaks in.
inline std::vector<std::string> baseEnvironment() { return {"PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8"}; }

inline ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment, StandardOutput output) {
    ProcessResult result;
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return result;
    if (output == StandardOutput::brokenPipe) {
        ::close(out[0]);  // nobody will ever read what the helper writes
        out[0] = -1;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == StandardOutput::closed) {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::vector<std::string> argvStrings{executable};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = environment;
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    const int spawned = ::posix_spawn(&result.pid, executable.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        if (out[0] >= 0) ::close(out[0]);
        ::close(err[0]);
        return result;
    }

    // Read both streams until both reach their end: the end of standard output also proves
    // that no process the helper started still holds it.
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.standardOutput, &result.standardError};
    int open = (out[0] >= 0 ? 1 : 0) + 1;
    if (out[0] < 0) fds[0].fd = -1;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
                if (output == StandardOutput::firstLine && i == 0 &&
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
    while (::waitpid(result.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

// What the helper wrote to standard output in each run of the current test.
inline std::vector<std::string>& helperOutputs() {
    static std::vector<std::string> outputs;
    return outputs;
}

inline ProcessResult runHelper(const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment = baseEnvironment(),
                               StandardOutput output = StandardOutput::captured) {
    ProcessResult result = runProcess(kHelperPath, arguments, environment, output);
    if (!result.standardOutput.empty()) helperOutputs().push_back(result.standardOutput);
    return result;
}

// Every line the helper wrote during a test is checked against the documented schema of the
// output line when the test ends, so the schema and the program cannot drift apart.
class OutputSchemaCheckedTest : public testing::Test {
protected:
    void SetUp() override { helperOutputs().clear(); }
    void TearDown() override {
        if (helperOutputs().empty()) return;
        TempDirectory temp;
        std::vector<std::string> arguments{KESTRUM_OUTPUT_LINE_CHECK, KESTRUM_OUTPUT_SCHEMA};
        for (std::size_t i = 0; i < helperOutputs().size(); ++i) {
            arguments.push_back(temp.write("output" + std::to_string(i), helperOutputs()[i]));
        }
        const auto check = runProcess(KESTRUM_PYTHON3, arguments, baseEnvironment(), StandardOutput::captured);
        helperOutputs().clear();
        if (check.exitCode == 77) {
            std::cout << "output schema not checked: " << check.standardError;
            return;
        }
        EXPECT_EQ(check.exitCode, 0) << check.standardOutput << check.standardError;
    }
};

}  // namespace kestrum::e2e
