// The system's answers about this process's privacy permissions. The system caches the first
// two per process; every helper invocation is a new process, so nothing is cached here.
#import <AVFoundation/AVFoundation.h>
#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <functional>
#include <memory>

#include "MacFrameworks.hpp"
#include "MacPorts.hpp"

namespace kestrum::macos {
namespace {

class MacPermissionQueries final : public PermissionQueries {
public:
    bool isAccessibilityTrusted() override { return AXIsProcessTrusted(); }

    bool screenCapturePreflight() override { return CGPreflightScreenCaptureAccess(); }

    // The port numbers the authorization as AVFoundation does; other numbers pass through.
    AudioCaptureAuthorization audioCaptureAuthorization() override {
        return static_cast<AudioCaptureAuthorization>(
            KESTRUM_FRAMEWORK_SEND(avFoundation, AVCaptureDevice, authorizationStatusForMediaType:audio()));
    }

    // The answer arrives on a queue of the system's choosing; it is brought to the main thread,
    // where everything the core sees runs.
    void requestAudioCapture(std::function<void(bool)> completion) override {
        void (^answer)(BOOL) = ^(BOOL granted) {
          dispatch_async(dispatch_get_main_queue(), ^{
            if (completion) completion(granted);
          });
        };
        if (!KESTRUM_FRAMEWORK_HAS_CLASS(avFoundation, AVCaptureDevice)) {
            answer(NO);  // without AVFoundation nothing can be granted
            return;
        }
        KESTRUM_FRAMEWORK_SEND(avFoundation, AVCaptureDevice, requestAccessForMediaType:audio() completionHandler:answer);
    }

private:
    static AVMediaType audio() { return KESTRUM_FRAMEWORK_CONSTANT(avFoundation, AVMediaTypeAudio); }
};

}  // namespace

std::shared_ptr<PermissionQueries> makePermissionQueries() { return std::make_shared<MacPermissionQueries>(); }

}  // namespace kestrum::macos
