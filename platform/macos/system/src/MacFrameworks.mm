#import "MacFrameworks.hpp"

#include <dlfcn.h>

#include <cstddef>
#include <mutex>

namespace kestrum::macos {
namespace {

// System frameworks are loaded from the shared cache by their documented install paths.
const char* frameworkPath(Framework framework) {
    switch (framework) {
        case Framework::appKit: return "/System/Library/Frameworks/AppKit.framework/AppKit";
        case Framework::avFoundation: return "/System/Library/Frameworks/AVFoundation.framework/AVFoundation";
    }
    return nullptr;
}

// Loaded once for the life of the process; a framework that cannot be loaded stays nullptr.
void* frameworkHandle(Framework framework) {
    static std::once_flag once[2];
    static void* handles[2] = {nullptr, nullptr};
    const auto index = static_cast<std::size_t>(framework);
    std::call_once(once[index], [&] { handles[index] = ::dlopen(frameworkPath(framework), RTLD_LAZY | RTLD_GLOBAL); });
    return handles[index];
}

}  // namespace

Class frameworkClass(Framework framework, const char* className) {
    if (!frameworkHandle(framework)) return Nil;
    return NSClassFromString(@(className));
}

const void* frameworkSymbol(Framework framework, const char* symbolName) {
    void* handle = frameworkHandle(framework);
    return handle ? ::dlsym(handle, symbolName) : nullptr;
}

}  // namespace kestrum::macos
