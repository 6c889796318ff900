// What a helper waiting for a grant costs, as whole processes: `wait screenRecording`, which on
// Linux is never granted, runs for the whole measure while this program looks on.
//   - the helper's own CPU share, between its first second and its end, from the run time of all
//     its threads (/proc/<pid>/task/*/schedstat, nanoseconds; the thread that collects the
//     children lives as long as the process, so no thread's time is lost); target: under 0.1 %
//     of a core;
//   - its children's share: everything wait4(2) reports for the helper and the children it
//     reaped, less the helper's own; reported, with the cost of one reading;
//   - its children at any moment, looked at every 2 ms (/proc/<pid>/task/<pid>/children): never
//     more than one, or the measure fails.
//
//   waiting_helper <KestrumHelper> [seconds=60]
// Exits 1 when a target is missed (KESTRUM_BENCH_REPORT_ONLY=1: always 0), 2 when it cannot measure.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ProcessCpu.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using kestrum::bench::cpuSeconds;

// The children of the process's main thread, which starts every reading.
std::vector<pid_t> children(pid_t pid) {
    std::ifstream list("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> found;
    for (pid_t child = 0; list >> child;) found.push_back(child);
    return found;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: waiting_helper <KestrumHelper> [seconds=60]\n");
        return 2;
    }
    const std::string helperPath = argv[1];
    const int measure = argc > 2 ? std::atoi(argv[2]) : 60;
    if (measure < 3) {
        std::fprintf(stderr, "measure at least 3 seconds\n");
        return 2;
    }
    const std::string timeout = std::to_string(measure);
    std::vector<std::string> texts{helperPath, "wait", "screenRecording", "--timeout", timeout};
    std::vector<char*> arguments;
    for (auto& text : texts) arguments.push_back(text.data());
    arguments.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return 2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t helper = -1;
    const auto start = Clock::now();
    if (::posix_spawn(&helper, helperPath.c_str(), &actions, nullptr, arguments.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", helperPath.c_str());
        return 2;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    // The helper's own share from its first second (its start-up left out) to just before its end.
    std::set<pid_t> seen;
    std::size_t mostAtOnce = 0;
    double ownAtOne = -1;
    Clock::time_point oneSecond;
    double ownLast = 0;
    Clock::time_point lastLook;
    for (;;) {
        const auto now = Clock::now();
        if (now - start >= std::chrono::seconds(1) && ownAtOne < 0) {
            ownAtOne = cpuSeconds(helper);
            oneSecond = now;
        }
        if (now - start < std::chrono::milliseconds(measure * 1000 - 100)) {
            ownLast = cpuSeconds(helper);
            lastLook = now;
        }
        const auto current = children(helper);
        mostAtOnce = std::max(mostAtOnce, current.size());
        seen.insert(current.begin(), current.end());
        siginfo_t ended{};
        const int asked = ::waitid(P_PID, static_cast<id_t>(helper), &ended, WEXITED | WNOHANG | WNOWAIT);
        if (asked == 0 && ended.si_pid == helper) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    int status = 0;
    rusage usage{};
    ::wait4(helper, &status, 0, &usage);
    const double lifetime = seconds(Clock::now() - start);
    std::string line;
    char buffer[256];
    for (ssize_t count; (count = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        line.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(out[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line.find("\"status\":\"notGranted\"") == std::string::npos) {
        std::fprintf(stderr, "the helper did not wait as expected (status %d): %s", status, line.c_str());
        return 2;
    }

    const double total = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const double ownShare = (ownLast - ownAtOne) / seconds(lastLook - oneSecond);
    const double childSeconds = total - ownLast;
    const int readings = measure;  // one at 0, 1, ... measure - 1
    std::printf("waiting helper, %d s, %d readings (%zu children seen at a look every 2 ms)\n", measure, readings,
                seen.size());
    std::printf("  helper itself:   %.4f %% of a core (%.0f us per second; target < 0.1 %%)\n", ownShare * 100,
                ownShare * 1e6);
    std::printf("  its children:    %.3f %% of a core (%.2f ms per reading)\n", childSeconds / lifetime * 100,
                childSeconds / readings * 1e3);
    std::printf("  children at once: at most %zu (target: 1)\n", mostAtOnce);
    const bool met = ownShare < 0.001 && mostAtOnce <= 1;
    const char* reportOnly = std::getenv("KESTRUM_BENCH_REPORT_ONLY");
    return met || (reportOnly && *reportOnly == '1') ? 0 : 1;
}
