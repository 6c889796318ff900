#pragma once
// Copies a program of the build tree to another folder together with the Kestrum libraries it
// finds beside itself ($ORIGIN), as an installation would place them.
#include <filesystem>
#include <string>

namespace kestrum::testing_support {

// Answers the copy's path. The desktop shell is copied only when asked for.
inline std::filesystem::path copyProgramWithLibraries(const std::filesystem::path& program,
                                                      const std::filesystem::path& folder, bool withDesktopShell) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const fs::path copy = folder / program.filename();
    fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(program.parent_path())) {
        const std::string name = entry.path().filename().string();
        const bool desktop = name.rfind("libKestrumDesktop", 0) == 0;
        if (name.rfind("libKestrum", 0) == 0 && (withDesktopShell || !desktop)) {
            fs::copy(entry.path(), folder / name, fs::copy_options::copy_symlinks | fs::copy_options::overwrite_existing);
        }
    }
    return copy;
}

}  // namespace kestrum::testing_support
