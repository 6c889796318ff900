#pragma once
// Unbuffered writes to file descriptors 1 and 2, and the end of the process.
#include "kestrum/ports/Output.hpp"

namespace kestrum {

// Writes every byte it can within `timeLimit` seconds and answers whether all were written:
// retries after EINTR, continues after partial writes, waits (poll(2), never by changing the
// descriptor's blocking mode, which the host shares) while the reader does not take the bytes.
// A closed descriptor (EBADF), a reader that has gone (EPIPE, without SIGPIPE ending the
// process) or a reader that takes nothing until the time is up ends the write early.
bool writeAllToDescriptor(int descriptor, std::string_view bytes, double timeLimit);

// Whether the reader of the descriptor has gone, asked with poll(2) without waiting: Linux marks
// the write end of a pipe without reader POLLERR, macOS (whose poll(2) is built on kqueue, where
// the writer of such a pipe gets EV_EOF) POLLHUP; a hung-up terminal and a socket whose peer
// closed report POLLHUP as well. A file, /dev/null or a pipe that is read report neither.
bool descriptorReaderGone(int descriptor);

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no descriptor the
// process opens later (the main loop's, a display connection, a file being read) takes a
// standard number and receives the line meant for standard output. Call first thing.
void reserveStandardDescriptors();

// Keeps the host's standard error on a descriptor of its own (closed on exec) and points
// descriptor 2 at /dev/null, so that what libraries print (Qt, fontconfig, GLib, xcb) never
// reaches the host. Sanitizer reports follow the kept descriptor unless they go to a log file.
// Answers the descriptor that now reaches the host's standard error: 2, unchanged, when no
// descriptor can be spared. Call after the command line is parsed.
int setStandardErrorAside();
// Puts the kept standard error back on descriptor 2, as the process found it: for a program that
// replaces itself (execve) and sets it aside again. Async-signal-safe.
void restoreStandardError();

class PosixOutput : public Output {
public:
    PosixOutput(int outputDescriptor = 1, int errorDescriptor = 2)
        : outputDescriptor_(outputDescriptor), errorDescriptor_(errorDescriptor) {}
    bool writeStandardOutput(std::string_view bytes, double timeLimit) override;
    bool writeStandardError(std::string_view bytes, double timeLimit) override;
    bool standardOutputGone() override;
    // _exit(2): nothing is buffered, and no destructor of a running loop gets a say.
    [[noreturn]] void exitProcess(int code) override;

private:
    int outputDescriptor_;
    int errorDescriptor_;
};

}  // namespace kestrum
