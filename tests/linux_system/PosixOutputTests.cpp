#include "kestrum/posix/PosixOutput.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace kestrum {
namespace {

// A pipe, or a stream socket pair (as a host may connect standard output).
struct Pipe {
    int read = -1;
    int write = -1;
    explicit Pipe(bool socket = false) {
        int fds[2];
        if ((socket ? ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) : ::pipe(fds)) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
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

void setNonBlocking(int descriptor, bool on) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    ::fcntl(descriptor, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

TEST(PosixOutputTests, DeliversEveryByteThroughAFullPipeOrSocket) {
    struct Case {
        bool socket;
        bool nonBlocking;
    };
    for (const auto [socket, nonBlocking] : {Case{false, false}, Case{false, true}, Case{true, false}}) {
        Pipe pipe(socket);
        ASSERT_GE(pipe.read, 0);
        setNonBlocking(pipe.write, nonBlocking);
        std::string received;
        std::thread reader([&] { received = drain(pipe.read); });
        const std::string bytes = pattern(kLarge);
        EXPECT_TRUE(PosixOutput(pipe.write, -1).writeStandardOutput(bytes, 600));
        EXPECT_TRUE(PosixOutput(pipe.write, -1).writeStandardOutput("\n", 600));
        pipe.closeWrite();
        reader.join();
        EXPECT_EQ(received.size(), kLarge + 1) << "socket: " << socket << ", non-blocking: " << nonBlocking;
        EXPECT_TRUE(received == bytes + "\n") << "socket: " << socket << ", non-blocking: " << nonBlocking;
    }
}

TEST(PosixOutputTests, AReaderThatTakesNothingIsGivenUpOnWithoutChangingTheDescriptor) {
    // Full and never read: the write ends once its time is up, and the blocking mode of the
    // description that the host shares is left as it was.
    for (const bool socket : {false, true}) {
        Pipe pipe(socket);
        ASSERT_GE(pipe.read, 0);
        setNonBlocking(pipe.write, true);
        while (::write(pipe.write, "x", 1) == 1) {
        }
        setNonBlocking(pipe.write, false);
        const int flags = ::fcntl(pipe.write, F_GETFL);
        EXPECT_FALSE(writeAllToDescriptor(pipe.write, "line", 0.2)) << "socket: " << socket;
        EXPECT_FALSE(writeAllToDescriptor(pipe.write, "line", 0)) << "socket: " << socket;
        EXPECT_EQ(::fcntl(pipe.write, F_GETFL), flags) << "socket: " << socket;
    }
}

TEST(PosixOutputTests, AGoneReaderOrAClosedDescriptorIsIgnoredWithoutSignal) {
    // Even with SIGPIPE at its default (ending the process), a broken pipe only ends the write.
    const auto previous = ::signal(SIGPIPE, SIG_DFL);
    Pipe pipe;
    pipe.closeRead();
    PosixOutput output(pipe.write, pipe.write);
    EXPECT_FALSE(output.writeStandardOutput("line", 600));
    EXPECT_FALSE(output.writeStandardError(pattern(kLarge), 600));
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);  // nothing left to arrive later either
    ::signal(SIGPIPE, previous);

    const int closed = ::dup(1);
    ::close(closed);
    EXPECT_FALSE(PosixOutput(closed, closed).writeStandardOutput("nowhere", 600));
    EXPECT_FALSE(writeAllToDescriptor(-1, "nowhere", 600));  // at once: no wait for the time limit
}

TEST(PosixOutputTests, AReaderThatHasGoneIsToldWithoutWriting) {
    for (const bool socket : {false, true}) {
        Pipe pipe(socket);
        PosixOutput output(pipe.write, pipe.write);
        EXPECT_FALSE(output.standardOutputGone()) << "socket: " << socket;
        pipe.closeRead();
        EXPECT_TRUE(output.standardOutputGone()) << "socket: " << socket;
    }
    // Files and /dev/null have no reader to lose.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    EXPECT_FALSE(descriptorReaderGone(null));
    ::close(null);
    const int closed = ::dup(1);
    ::close(closed);
    EXPECT_TRUE(descriptorReaderGone(closed));
}

TEST(PosixOutputTests, ClosedStandardDescriptorsAreReservedBeforeAnythingElseOpens) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::close(1);
            reserveStandardDescriptors();
            Pipe later;  // would have been given number 1
            const bool reserved = ::fcntl(1, F_GETFD) != -1 && later.read != 1 && later.write != 1;
            PosixOutput().writeStandardOutput("into /dev/null", 1);
            ::_exit(reserved ? 7 : 8);
        },
        testing::ExitedWithCode(7), "");
}

TEST(PosixOutputTests, ExitProcessEndsWithTheCodeAfterWrites) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // sanitizers run threads of their own
    EXPECT_EXIT(
        {
            PosixOutput output;
            output.writeStandardError("bye", 1);
            output.exitProcess(3);
        },
        testing::ExitedWithCode(3), "bye");
}

}  // namespace
}  // namespace kestrum
