#pragma once
// What a Linux desktop session answers about this process's privacy permissions, decided
// without connecting to a display or a session bus (see the README for the reasons).
#include <string>

#include "kestrum/ports/PermissionQueries.hpp"

namespace kestrum {

class LinuxPermissionQueries : public PermissionQueries {
public:
    // `sandboxMarker`: the file a Flatpak sandbox places at the root of the process's view.
    explicit LinuxPermissionQueries(std::string sandboxMarker = "/.flatpak-info")
        : sandboxMarker_(std::move(sandboxMarker)) {}

    // The session's accessibility bus is open to every process of the user: true.
    bool isAccessibilityTrusted() override;
    // No grant exists that could be checked without asking: false.
    bool screenCapturePreflight() override;
    // The sound server lets every process of the user record: authorized; inside a sandbox
    // the sandbox's permission store decides when asked: not determined.
    AudioCaptureAuthorization audioCaptureAuthorization() override;
    // Nothing to ask outside a sandbox; answers at once, on the calling thread.
    void requestAudioCapture(std::function<void(bool)> completion) override;

private:
    bool sandboxed() const;
    std::string sandboxMarker_;
};

}  // namespace kestrum
