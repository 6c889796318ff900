#include "kestrum/linux/LinuxPermissionQueries.hpp"

#include <unistd.h>

namespace kestrum {

bool LinuxPermissionQueries::sandboxed() const { return ::access(sandboxMarker_.c_str(), F_OK) == 0; }

bool LinuxPermissionQueries::isAccessibilityTrusted() { return true; }

bool LinuxPermissionQueries::screenCapturePreflight() { return false; }

AudioCaptureAuthorization LinuxPermissionQueries::audioCaptureAuthorization() {
    return sandboxed() ? AudioCaptureAuthorization::notDetermined : AudioCaptureAuthorization::authorized;
}

void LinuxPermissionQueries::requestAudioCapture(std::function<void(bool)> completion) {
    if (completion) completion(audioCaptureAuthorization() == AudioCaptureAuthorization::authorized);
}

}  // namespace kestrum
