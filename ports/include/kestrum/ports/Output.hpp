#pragma once
// Unbuffered standard output and standard error, and the end of the process.
#include <string_view>

namespace kestrum {

class Output {
public:
    virtual ~Output() = default;
    // Writes everything it can, waiting at most `timeLimit` seconds for a reader that does not
    // take the bytes; true when every byte was written. A closed or broken stream, or one
    // nobody reads in time, ends the write early.
    virtual bool writeStandardOutput(std::string_view bytes, double timeLimit) = 0;
    virtual bool writeStandardError(std::string_view bytes, double timeLimit) = 0;
    // Whether standard output's reader has gone for good (the host closed its end of the pipe or
    // socket, or the terminal hung up), asked without writing. False while it cannot tell.
    virtual bool standardOutputGone() = 0;
    // Ends the process (a fake records the code and returns).
    virtual void exitProcess(int code) = 0;
};

}  // namespace kestrum
