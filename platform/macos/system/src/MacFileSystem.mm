// The POSIX file system, with the main bundle's directory from NSBundle: the .app for a helper
// in Contents/MacOS, the executable's folder for one in Contents/Helpers or on its own.
#import <Foundation/Foundation.h>

#include <memory>
#include <string>

#include "MacPorts.hpp"
#include "kestrum/posix/PosixFileSystem.hpp"

namespace kestrum::macos {
namespace {

class MacFileSystem final : public PosixFileSystem {
public:
    std::string mainBundlePath() override {
        const char* path = [NSBundle mainBundle].bundlePath.fileSystemRepresentation;
        return path ? std::string(path) : std::string();
    }
};

}  // namespace

std::shared_ptr<FileSystem> makeFileSystem() { return std::make_shared<MacFileSystem>(); }

}  // namespace kestrum::macos
