#include "kestrum/desktop/DesktopShellLoader.hpp"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace kestrum::desktop {
namespace {

class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

bool readAt(int descriptor, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t count = ::pread(descriptor, bytes, size, static_cast<off_t>(offset));
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        bytes += count;
        size -= static_cast<std::size_t>(count);
        offset += static_cast<std::uint64_t>(count);
    }
    return true;
}

// Whether the `size` bytes at `offset` lie within a file of `fileSize` bytes.
bool within(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

// This library's own ELF header, as mapped: the shell must have its class, byte order and machine.
const ElfW(Ehdr) * ownHeader() {
    static const char anchor = 0;
    Dl_info info{};
    if (::dladdr(&anchor, &info) == 0 || !info.dli_fbase) return nullptr;
    return static_cast<const ElfW(Ehdr)*>(info.dli_fbase);
}

template <typename Entry>
std::optional<std::vector<Entry>> readTable(int descriptor, std::uint64_t offset, std::size_t count,
                                            std::size_t entrySize, std::uint64_t fileSize) {
    if (entrySize != sizeof(Entry) || !within(offset, std::uint64_t{count} * sizeof(Entry), fileSize)) return std::nullopt;
    std::vector<Entry> entries(count);
    if (!readAt(descriptor, entries.data(), count * sizeof(Entry), offset)) return std::nullopt;
    return entries;
}

// What makes the file at `path` unfit to be mapped as the shell, or nothing. Read through a
// descriptor opened without blocking, so that a FIFO in the shell's place holds nothing up.
std::optional<std::string> problemWithFile(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) return "cannot open " + path + ": " + std::strerror(errno);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return path + " is not a regular file";
    const auto size = static_cast<std::uint64_t>(info.st_size);

    ElfW(Ehdr) header{};
    if (!readAt(file.get(), &header, sizeof header, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        return path + " is not an ELF file";
    }
    const ElfW(Ehdr)* own = ownHeader();
    if (!own || header.e_ident[EI_CLASS] != own->e_ident[EI_CLASS] || header.e_ident[EI_DATA] != own->e_ident[EI_DATA] ||
        header.e_ident[EI_VERSION] != EV_CURRENT || header.e_machine != own->e_machine || header.e_type != ET_DYN) {
        return path + " is not a shared object for this machine";
    }
    // Every segment, and every section with contents in the file, must lie within it.
    const auto segments =
        readTable<ElfW(Phdr)>(file.get(), header.e_phoff, header.e_phnum, header.e_phentsize, size);
    if (!segments) return path + ": its program headers lie outside the file";
    bool loadable = false;
    bool dynamic = false;
    for (const auto& segment : *segments) {
        if (!within(segment.p_offset, segment.p_filesz, size)) return path + " is shorter than its segments";
        loadable = loadable || (segment.p_type == PT_LOAD && segment.p_filesz <= segment.p_memsz);
        dynamic = dynamic || segment.p_type == PT_DYNAMIC;
    }
    if (!loadable || !dynamic) return path + " has no loadable dynamic segments";
    if (header.e_shnum > 0) {
        const auto sections =
            readTable<ElfW(Shdr)>(file.get(), header.e_shoff, header.e_shnum, header.e_shentsize, size);
        if (!sections) return path + ": its section headers lie outside the file";
        for (const auto& section : *sections) {
            if (section.sh_type != SHT_NOBITS && !within(section.sh_offset, section.sh_size, size)) {
                return path + " is shorter than its sections";
            }
        }
    }
    return std::nullopt;
}

struct Mapped {
    void* handle = nullptr;
    std::string error;
};

// The shell, mapped and bound (the handle stays open for the life of the process: the shell's
// code runs until the end). It binds its own symbols as it is loaded (it is linked to, -z now),
// so one that needs what this process lacks is refused here; the libraries it brings bind
// lazily, as at any program's start, rather than resolve (and page in) all they could ever call.
Mapped mapShell(const std::string& path) {
    Mapped mapped;
    mapped.handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!mapped.handle) {
        const char* error = ::dlerror();
        mapped.error = error ? error : "cannot load " + path;
    }
    return mapped;
}

// Reads fontconfig's configuration (some sixty files), which the panel's first text needs and
// Qt would read only then; fontconfig is a library the shell links, found by its name.
void readFontConfiguration() {
    void* fontconfig = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!fontconfig) return;
    if (auto* initialize = reinterpret_cast<int (*)()>(::dlsym(fontconfig, "FcInit"))) initialize();
}

// Mapping the shell (Qt and everything it brings) keeps the loader busy for a while; the font
// configuration is read on this thread meanwhile, so that neither waits for the other. A shell
// that is mapped already (a host or test that links it) is only looked up: its fonts may be in use.
Mapped mapShellReadingFonts(const std::string& path) {
    Mapped mapped;
    if (void* loaded = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD)) {
        mapped.handle = loaded;
        return mapped;
    }
    try {
        std::thread mapping([&] { mapped = mapShell(path); });
        readFontConfiguration();
        mapping.join();
    } catch (const std::system_error&) {
        // No thread to spare: one after the other.
        mapped = mapShell(path);
    }
    return mapped;
}

}  // namespace

DesktopShellLoadResult loadDesktopShell(std::string_view directory, Platform& ports) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') path += '/';
    path += desktopShellFileName;
    if (auto problem = problemWithFile(path)) return {false, std::move(*problem)};
    const Mapped mapped = mapShellReadingFonts(path);
    if (!mapped.handle) return {false, mapped.error};
    void* handle = mapped.handle;
    auto problem = extendThroughDesktopShell([handle](const char* name) { return ::dlsym(handle, name); }, ports);
    if (!problem.empty()) return {false, path + ": " + problem};
    return {true, {}};
}

void assembleDesktopPorts(std::string_view directory, Platform& ports) {
    loadDesktopShell(directory, ports);
    // Whatever the shell did, a flow needs panels.
    if (!ports.panelWindows) ports.panelWindows = std::make_shared<HeadlessPanelWindowFactory>();
}

}  // namespace kestrum::desktop
