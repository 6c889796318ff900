// The helper binary's authorize action end to end, without a display: its one line arrives at
// once, nothing reaches standard error, and the process keeps running until it is ended.
#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "HelperEnvironment.hpp"
#include "ProgramCopy.hpp"

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {


struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
    ~Pipe() {
        for (int fd : fds) {
            if (fd >= 0) ::close(fd);
        }
    }
    void closeWriteEnd() {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

// The environment without any display, so the shell must choose the off-screen platform.
std::vector<std::string> headlessEnvironment() { return kestrum::desktop::environmentWithoutDisplay(); }

class HelperProcess {
public:
    HelperProcess(const std::string& executable, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out_.fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err_.fds[1], STDERR_FILENO);
        std::vector<std::string> argumentTexts{executable};
        argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& text : argumentTexts) argv.push_back(text.data());
        argv.push_back(nullptr);
        auto environment = headlessEnvironment();
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        std::vector<char*> envp;
        for (auto& text : environment) envp.push_back(text.data());
        envp.push_back(nullptr);
        spawned_ = ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        out_.closeWriteEnd();
        err_.closeWriteEnd();
    }
    ~HelperProcess() {
        if (spawned_ && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool spawned() const { return spawned_; }
    pid_t pid() const { return pid_; }

    // Standard output up to and including the first line feed (or what came before the end).
    std::string readLine(int timeoutMilliseconds) {
        std::string line;
        while (line.empty() || line.back() != '\n') {
            pollfd descriptor{out_.fds[0], POLLIN, 0};
            if (::poll(&descriptor, 1, timeoutMilliseconds) <= 0) break;
            std::array<char, 256> buffer{};
            const ssize_t count = ::read(out_.fds[0], buffer.data(), 1);
            if (count <= 0) break;
            line.append(buffer.data(), static_cast<std::size_t>(count));
        }
        return line;
    }

    // Waits up to the time for anything on standard error or for the process to end; answers
    // what arrived on standard error and whether the process is still running.
    std::pair<std::string, bool> watch(int milliseconds) {
        std::string errors;
        pollfd descriptor{err_.fds[0], POLLIN, 0};
        if (::poll(&descriptor, 1, milliseconds) > 0 && (descriptor.revents & POLLIN)) {
            std::array<char, 512> buffer{};
            const ssize_t count = ::read(err_.fds[0], buffer.data(), buffer.size());
            if (count > 0) errors.assign(buffer.data(), static_cast<std::size_t>(count));
        }
        int status = 0;
        const bool running = ::waitpid(pid_, &status, WNOHANG) == 0;
        if (!running) reaped_ = true;
        return {errors, running};
    }

private:
    Pipe out_;
    Pipe err_;
    pid_t pid_ = -1;
    bool spawned_ = false;
    bool reaped_ = false;
};

TEST(AuthorizeProcess, WritesItsLineAtOnceAndKeepsRunningSilently) {
    HelperProcess helper(kestrum::desktop::helperUnderTest(), {"authorize", "accessibility", "--app-url", "/Applications/Tazel.app"});
    ASSERT_TRUE(helper.spawned());
    const std::string line = helper.readLine(10000);
    EXPECT_EQ(line.rfind("{\"success\":true,\"kind\":\"accessibility\",\"status\":\"", 0), 0u) << line;
    EXPECT_EQ(line.back(), '\n');
    const auto [errors, running] = helper.watch(500);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(running);
    EXPECT_EQ(helper.readLine(0), "");  // one line only
}

TEST(AuthorizeProcess, MicrophoneOpensNoPanelButStillKeepsTheProcess) {
    HelperProcess helper(KESTRUM_HELPER_PATH, {"authorize", "microphone", "--app-url", "Tazel.App"});
    ASSERT_TRUE(helper.spawned());
    const std::string line = helper.readLine(10000);
    EXPECT_EQ(line.rfind("{\"success\":true,\"kind\":\"microphone\",\"status\":\"", 0), 0u) << line;
    const auto [errors, running] = helper.watch(300);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(running);
}

TEST(AuthorizeProcess, AnUnreachableDisplayFallsBackToTheOffScreenPlatform) {
    HelperProcess helper(KESTRUM_HELPER_PATH, {"authorize", "screenRecording", "--app-url", "/Applications/Tazel.app"},
                         {"DISPLAY=:4711"});
    ASSERT_TRUE(helper.spawned());
    const std::string line = helper.readLine(10000);
    EXPECT_EQ(line.rfind("{\"success\":true,\"kind\":\"screenRecording\",\"status\":\"", 0), 0u) << line;
    const auto [errors, running] = helper.watch(300);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(running);
}

TEST(AuthorizeProcess, WithoutTheDesktopShellBesideItTheFlowStillRuns) {
    // A copy of the helper and its libraries without the shell: panels render nothing.
    const auto folder = std::filesystem::temp_directory_path() / ("kestrum-alone-" + std::to_string(::getpid()));
    const auto copy = kestrum::testing_support::copyProgramWithLibraries(KESTRUM_HELPER_PATH, folder, false);
    {
        HelperProcess helper(copy.string(), {"authorize", "fullDiskAccess", "--app-url", "/Applications/Tazel.app"});
        ASSERT_TRUE(helper.spawned());
        EXPECT_EQ(helper.readLine(10000), "{\"success\":true,\"kind\":\"fullDiskAccess\"}\n");
        const auto [errors, running] = helper.watch(300);
        EXPECT_EQ(errors, "");
        EXPECT_TRUE(running);
    }
    std::filesystem::remove_all(folder);
}

// The names of the symbols an ELF file defines, from its dynamic and its full symbol table; none
// for anything else.
std::set<std::string> definedSymbols(const std::string& path) {
    std::set<std::string> names;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return names;
    struct stat status {};
    void* mapped = MAP_FAILED;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        mapped = ::mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
    }
    ::close(descriptor);
    if (mapped == MAP_FAILED) return names;
    const auto* bytes = static_cast<const unsigned char*>(mapped);
    const auto size = static_cast<std::size_t>(status.st_size);
    const auto within = [size](std::size_t offset, std::size_t length) { return offset <= size && length <= size - offset; };
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes);
    if (within(0, sizeof(Elf64_Ehdr)) && std::memcmp(header->e_ident, ELFMAG, SELFMAG) == 0 &&
        header->e_ident[EI_CLASS] == ELFCLASS64 && within(header->e_shoff, std::size_t{header->e_shnum} * sizeof(Elf64_Shdr))) {
        const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes + header->e_shoff);
        for (std::size_t i = 0; i < header->e_shnum; ++i) {
            const Elf64_Shdr& table = sections[i];
            if ((table.sh_type != SHT_SYMTAB && table.sh_type != SHT_DYNSYM) || table.sh_link >= header->e_shnum) continue;
            const Elf64_Shdr& strings = sections[table.sh_link];
            if (!within(table.sh_offset, table.sh_size) || !within(strings.sh_offset, strings.sh_size)) continue;
            const auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes + table.sh_offset);
            for (std::size_t j = 0; j < table.sh_size / sizeof(Elf64_Sym); ++j) {
                if (symbols[j].st_shndx == SHN_UNDEF || symbols[j].st_name >= strings.sh_size) continue;
                const char* name = reinterpret_cast<const char*>(bytes + strings.sh_offset + symbols[j].st_name);
                names.insert(std::string(name, strnlen(name, strings.sh_size - symbols[j].st_name)));
            }
        }
    }
    ::munmap(mapped, size);
    return names;
}

// One core per process: in a running authorize helper, with the desktop shell loaded, each of
// these functions of the core and of the system shell is defined by exactly one of the files
// mapped into the process (the helper itself; a library that brought its own copy would be a second).
TEST(AuthorizeProcess, OneLoadedObjectDefinesTheCore) {
    HelperProcess helper(kestrum::desktop::helperUnderTest(), {"authorize", "accessibility", "--app-url", "/Applications/Tazel.app"});
    ASSERT_TRUE(helper.spawned());
    ASSERT_EQ(helper.readLine(10000).rfind("{\"success\":true", 0), 0u);

    std::set<std::string> files;
    std::ifstream maps("/proc/" + std::to_string(helper.pid()) + "/maps");
    for (std::string line; std::getline(maps, line);) {
        if (const auto slash = line.find('/'); slash != std::string::npos) files.insert(line.substr(slash));
    }
    const std::vector<std::string> core = {
        "_ZN7kestrum8platformEv",                                            // kestrum::platform()
        "_ZN7kestrum15installPlatformENS_8PlatformE",                        // the ports
        "_ZN7kestrum3URL7fileURLESt17basic_string_viewIcSt11char_traitsIcEES4_",  // the base
        "_ZN7kestrum24PermissionStatusRegistry8providerENS_11KestrumPaneE",  // the model
        "_ZN7kestrum17KestrumController6createENS_20KestrumConfigurationE",  // the library
        "_ZN7kestrum20resourceBundleModuleEv",
        "_ZN7kestrum13LinuxMainLoop8dispatchEv",                             // the system shell
        "_ZN7kestrum12StartupWatch7restartESt17basic_string_viewIcSt11char_traitsIcEE",
    };
    std::map<std::string, std::vector<std::string>> definers;
    bool desktopShellLoaded = false;
    for (const auto& file : files) {
        desktopShellLoaded = desktopShellLoaded || file.find("libKestrumDesktop") != std::string::npos;
        const auto symbols = definedSymbols(file);
        for (const auto& symbol : core) {
            if (symbols.count(symbol)) definers[symbol].push_back(file);
        }
    }
    EXPECT_TRUE(desktopShellLoaded);
    for (const auto& symbol : core) {
        EXPECT_EQ(definers[symbol].size(), 1u) << symbol << " is defined by " << ::testing::PrintToString(definers[symbol]);
    }
}

}  // namespace
