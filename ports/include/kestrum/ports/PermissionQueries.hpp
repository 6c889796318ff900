#pragma once
// The platform's answers about this process's privacy permissions.
#include <functional>

namespace kestrum {

// The audio-capture authorization as the platform numbers it; other numbers may occur.
enum class AudioCaptureAuthorization : int { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };

class PermissionQueries {
public:
    virtual ~PermissionQueries() = default;
    // Never prompts.
    virtual bool isAccessibilityTrusted() = 0;
    // Never prompts.
    virtual bool screenCapturePreflight() = 0;
    virtual AudioCaptureAuthorization audioCaptureAuthorization() = 0;
    // May prompt; calls back exactly once, on a thread of the platform's choosing.
    virtual void requestAudioCapture(std::function<void(bool)> completion) = 0;
};

}  // namespace kestrum
