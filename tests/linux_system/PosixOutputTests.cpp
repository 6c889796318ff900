#include "kestrum/linux/PosixOutput.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace kestrum {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

std::string drain(int descriptor) {
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(descriptor, buffer, sizeof buffer);
        if (n <= 0) return received;
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 % 251);
    return bytes;
}

// Far more than a pipe holds, so the writer sees partial writes (and, non-blocking, EAGAIN).
constexpr std::size_t kLarge = 1 << 20;

TEST(PosixOutputTests, DeliversEveryByteThroughAFullPipe) {
    for (const bool nonBlocking : {false, true}) {
        Pipe pipe;
        ASSERT_GE(pipe.read, 0);
        if (nonBlocking) ::fcntl(pipe.write, F_SETFL, ::fcntl(pipe.write, F_GETFL) | O_NONBLOCK);
        std::string received;
        std::thread reader([&] { received = drain(pipe.read); });
        const std::string bytes = pattern(kLarge);
        PosixOutput(pipe.write, -1).writeStandardOutput(bytes);
        PosixOutput(pipe.write, -1).writeStandardOutput("\n");
        pipe.closeWrite();
        reader.join();
        EXPECT_EQ(received.size(), kLarge + 1) << "non-blocking: " << nonBlocking;
        EXPECT_TRUE(received == bytes + "\n") << "non-blocking: " << nonBlocking;
    }
}

TEST(PosixOutputTests, AGoneReaderOrAClosedDescriptorIsIgnoredWithoutSignal) {
    // Even with SIGPIPE at its default (ending the process), a broken pipe only ends the write.
    const auto previous = ::signal(SIGPIPE, SIG_DFL);
    Pipe pipe;
    pipe.closeRead();
    PosixOutput output(pipe.write, pipe.write);
    output.writeStandardOutput("line");
    output.writeStandardError(pattern(kLarge));
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);  // nothing left to arrive later either
    ::signal(SIGPIPE, previous);

    const int closed = ::dup(1);
    ::close(closed);
    PosixOutput(closed, closed).writeStandardOutput("nowhere");
    writeAllToDescriptor(-1, "nowhere");
    SUCCEED();  // reaching here is the test: no crash, no signal, no endless retry
}

TEST(PosixOutputTests, ClosedStandardDescriptorsAreReservedBeforeAnythingElseOpens) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::close(1);
            reserveStandardDescriptors();
            Pipe later;  // would have been given number 1
            const bool reserved = ::fcntl(1, F_GETFD) != -1 && later.read != 1 && later.write != 1;
            PosixOutput().writeStandardOutput("into /dev/null");
            ::_exit(reserved ? 7 : 8);
        },
        testing::ExitedWithCode(7), "");
}

TEST(PosixOutputTests, ExitProcessEndsWithTheCodeAfterWrites) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // sanitizers run threads of their own
    EXPECT_EXIT(
        {
            PosixOutput output;
            output.writeStandardError("bye");
            output.exitProcess(3);
        },
        testing::ExitedWithCode(3), "bye");
}

}  // namespace
}  // namespace kestrum
