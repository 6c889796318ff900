#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {
Platform& slot() {
    static Platform installed;
    return installed;
}
}  // namespace

const Platform& platform() { return slot(); }
void installPlatform(Platform platform) { slot() = std::move(platform); }

}  // namespace kestrum
