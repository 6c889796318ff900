#pragma once
// This program run once more as a child process, for the first line it writes: a way to read a
// state through a fresh process, which no cache of this one can hide.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrum {

// What a child wrote before its first line feed, and how it ended.
struct ChildAnswer {
    std::string line;             // without the line feed; cut short after lineLimit bytes
    bool lineEnded = false;       // a line feed came within lineLimit bytes
    std::optional<int> exitCode;  // absent when a signal ended the child
    static constexpr std::size_t lineLimit = 4096;
    friend bool operator==(const ChildAnswer&, const ChildAnswer&) = default;
};

// A started child. Dropping the handle leaves the child to end by itself.
class ChildRun {
public:
    virtual ~ChildRun() = default;
    // Ends the child at once if it still runs (it is still reaped); its answer is not wanted.
    virtual void end() = 0;
};

class ChildProcesses {
public:
    virtual ~ChildProcesses() = default;
    // Starts this program with `arguments` after its own name: standard output on a pipe,
    // standard input and error on /dev/null, no other descriptor of this process, the signal
    // mask cleared. `done` runs once, on a thread of the port's choosing, after the child has
    // ended and been reaped; not after end() (except a call already under way). Nothing when no
    // child can be started, also while the last one has not been reaped: never two at a time.
    virtual std::unique_ptr<ChildRun> runSelf(const std::vector<std::string>& arguments,
                                              std::function<void(ChildAnswer)> done) = 0;
};

}  // namespace kestrum
