#pragma once
// CPU time of a running process, for the whole-process benchmarks.
#include <dirent.h>
#include <sys/types.h>

#include <fstream>
#include <string>

namespace kestrum::bench {

// Seconds every live thread of the process has run (/proc/<pid>/task/*/schedstat, nanoseconds).
inline double cpuSeconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* directory = ::opendir(tasks.c_str());
    if (!directory) return 0;
    double total = 0;
    while (const dirent* entry = ::readdir(directory)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        double running = 0;
        if (schedstat >> running) total += running;
    }
    ::closedir(directory);
    return total / 1e9;
}

}  // namespace kestrum::bench
