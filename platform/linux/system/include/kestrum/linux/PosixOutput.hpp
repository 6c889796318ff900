#pragma once
// Unbuffered writes to file descriptors 1 and 2, and the end of the process.
#include "kestrum/ports/Output.hpp"

namespace kestrum {

// Writes every byte it can: retries after EINTR, continues after partial writes, waits for a
// non-blocking descriptor to become writable. A closed descriptor (EBADF) or a reader that has
// gone (EPIPE) ends the write silently, without SIGPIPE ending the process.
void writeAllToDescriptor(int descriptor, std::string_view bytes);

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no descriptor the
// process opens later (the main loop's, a display connection, a file being read) takes a
// standard number and receives the line meant for standard output. Call first thing.
void reserveStandardDescriptors();

class PosixOutput : public Output {
public:
    PosixOutput(int outputDescriptor = 1, int errorDescriptor = 2)
        : outputDescriptor_(outputDescriptor), errorDescriptor_(errorDescriptor) {}
    void writeStandardOutput(std::string_view bytes) override;
    void writeStandardError(std::string_view bytes) override;
    // _exit(2): nothing is buffered, and no destructor of a running loop gets a say.
    [[noreturn]] void exitProcess(int code) override;

private:
    int outputDescriptor_;
    int errorDescriptor_;
};

}  // namespace kestrum
