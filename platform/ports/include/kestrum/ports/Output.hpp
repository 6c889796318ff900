#pragma once
// Unbuffered standard output and standard error, and the end of the process.
#include <string_view>

namespace kestrum {

class Output {
public:
    virtual ~Output() = default;
    // Writes everything it can; a closed or broken stream is ignored.
    virtual void writeStandardOutput(std::string_view bytes) = 0;
    virtual void writeStandardError(std::string_view bytes) = 0;
    // Ends the process (a fake records the code and returns).
    virtual void exitProcess(int code) = 0;
};

}  // namespace kestrum
