// What the macOS shell relies on from Apple's SDK, stated so that a compiler can hold it to it.
// Compiled here against the declaration headers in sdk/ (and GNUstep), and on a Mac against the
// real SDK: a value or a signature written wrongly in sdk/ fails there, one the shell depends on
// fails in both places.
#import <AVFoundation/AVFoundation.h>
#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>
#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>
#import <QuartzCore/QuartzCore.h>
#include <dispatch/dispatch.h>
#include <mach-o/dyld.h>
#include <mach/mach_time.h>

#include <type_traits>

#include "kestrum/WindowFrames.hpp"
#include "kestrum/ports/Platform.hpp"

namespace {

// A function's type without its noexcept (libdispatch marks its functions
// nothrow on the Mac; the declaration headers do not).
template <typename Function>
struct Plain;
template <typename Result, typename... Arguments>
struct Plain<Result(Arguments...)> {
    using type = Result(Arguments...);
};
template <typename Result, typename... Arguments>
struct Plain<Result(Arguments...) noexcept> {
    using type = Result(Arguments...);
};

}  // namespace

#define KESTRUM_SIGNATURE(function, ...) \
    static_assert(std::is_same_v<Plain<decltype(function)>::type, __VA_ARGS__>, "signature of " #function)
#define KESTRUM_CONSTANT_TYPE(name, ...) \
    static_assert(std::is_same_v<std::remove_cv_t<decltype(name)>, __VA_ARGS__>, "type of " #name)

// Values the shell passes through or converts by number.

// The core asks for the window list with these options, relative to no window.
static_assert((kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements) ==
              kestrum::window_frames::windowListOptions);
static_assert(kCGNullWindowID == kestrum::window_frames::windowListRelativeTo);
// The core numbers accessibility value types as the platform does (point 1, size 2), and its
// generic attribute error is the platform's.
static_assert(kAXValueTypeCGPoint == 1 && kAXValueTypeCGSize == 2);
static_assert(kAXValueTypeCGRect == 3);  // the tests read a rectangle as another value of this type
static_assert(kAXErrorSuccess == 0);
static_assert(kAXErrorFailure == kestrum::AttributeError{}.code);
// The ports number audio-capture authorization and activation policies as the platform does.
static_assert(AVAuthorizationStatusNotDetermined == static_cast<int>(kestrum::AudioCaptureAuthorization::notDetermined));
static_assert(AVAuthorizationStatusRestricted == static_cast<int>(kestrum::AudioCaptureAuthorization::restricted));
static_assert(AVAuthorizationStatusDenied == static_cast<int>(kestrum::AudioCaptureAuthorization::denied));
static_assert(AVAuthorizationStatusAuthorized == static_cast<int>(kestrum::AudioCaptureAuthorization::authorized));
static_assert(NSApplicationActivationPolicyRegular == static_cast<int>(kestrum::ActivationPolicy::regular));
static_assert(NSApplicationActivationPolicyAccessory == static_cast<int>(kestrum::ActivationPolicy::accessory));
static_assert(NSApplicationActivationPolicyProhibited == static_cast<int>(kestrum::ActivationPolicy::prohibited));

// The panel's configuration and events by the numbers its design gives. The shell uses the
// names; these say that the names are the right ones.
static_assert(NSWindowAnimationBehaviorUtilityWindow == 4);
static_assert(NSDraggingFormationNone == 1);
static_assert(NSEventTypeLeftMouseDown == 1 && NSEventTypeRightMouseDown == 3);
static_assert(NSWindowStyleMaskNonactivatingPanel == 128);
static_assert((NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorFullScreenAuxiliary) == 257);
// Deprecated from macOS 14 on: the shell names it only in builds that can run on 13.
#if !defined(__MAC_OS_X_VERSION_MIN_REQUIRED) || __MAC_OS_X_VERSION_MIN_REQUIRED < 140000
static_assert(NSApplicationActivateIgnoringOtherApps == 2);
#endif
static_assert(NSDragOperationCopy == 1 && NSDraggingContextWithinApplication == 1);
static_assert(NSBackingStoreBuffered == 2);
static_assert(NSNormalWindowLevel == 0);  // the level the panel takes while it is ordered back
// The floating window level (3) is asked of the window server at run time on the Mac
// (CGWindowLevelForKey), and GNUstep numbers it 2: neither place can assert it.

// Types of the constants the declaration headers declare.
KESTRUM_CONSTANT_TYPE(kCFAllocatorDefault, CFAllocatorRef);
KESTRUM_CONSTANT_TYPE(kCFRunLoopDefaultMode, CFRunLoopMode);
KESTRUM_CONSTANT_TYPE(kCFRunLoopCommonModes, CFRunLoopMode);
KESTRUM_CONSTANT_TYPE(kCGWindowOwnerPID, CFStringRef);
KESTRUM_CONSTANT_TYPE(kCGWindowLayer, CFStringRef);
KESTRUM_CONSTANT_TYPE(kCGWindowAlpha, CFStringRef);
KESTRUM_CONSTANT_TYPE(kCGWindowBounds, CFStringRef);
KESTRUM_CONSTANT_TYPE(kAXTrustedCheckOptionPrompt, CFStringRef);
KESTRUM_CONSTANT_TYPE(AVMediaTypeAudio, AVMediaType);
KESTRUM_CONSTANT_TYPE(NSWorkspaceDidActivateApplicationNotification, NSNotificationName);
KESTRUM_CONSTANT_TYPE(NSViewNoIntrinsicMetric, CGFloat);
KESTRUM_CONSTANT_TYPE(DISPATCH_SOURCE_TYPE_TIMER, dispatch_source_type_t);
KESTRUM_CONSTANT_TYPE(DISPATCH_SOURCE_TYPE_PROC, dispatch_source_type_t);
static_assert(DISPATCH_PROC_EXIT == 0x80000000ul);
static_assert(DISPATCH_QUEUE_PRIORITY_DEFAULT == 0);
KESTRUM_CONSTANT_TYPE(kCAGravityResizeAspect, CALayerContentsGravity);
KESTRUM_CONSTANT_TYPE(kCACornerCurveContinuous, CALayerCornerCurve);
KESTRUM_CONSTANT_TYPE(kCAMediaTimingFunctionEaseInEaseOut, CAMediaTimingFunctionName);
static_assert(std::is_same_v<CGRect, NSRect> && std::is_same_v<CGPoint, NSPoint> && std::is_same_v<CGSize, NSSize>);

// Signatures of the functions the declaration headers declare.

// CoreFoundation
KESTRUM_SIGNATURE(CFBridgingRetain, CFTypeRef(id));
KESTRUM_SIGNATURE(CFRetain, CFTypeRef(CFTypeRef));
KESTRUM_SIGNATURE(CFRelease, void(CFTypeRef));
KESTRUM_SIGNATURE(CFGetTypeID, CFTypeID(CFTypeRef));
KESTRUM_SIGNATURE(CFEqual, Boolean(CFTypeRef, CFTypeRef));
KESTRUM_SIGNATURE(CFArrayGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(CFArrayGetCount, CFIndex(CFArrayRef));
KESTRUM_SIGNATURE(CFArrayGetValueAtIndex, const void*(CFArrayRef, CFIndex));
KESTRUM_SIGNATURE(CFDictionaryGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(CFDictionaryGetValue, const void*(CFDictionaryRef, const void*));
KESTRUM_SIGNATURE(CFStringGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(CFNumberGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(CFNumberIsFloatType, Boolean(CFNumberRef));
KESTRUM_SIGNATURE(CFNumberGetValue, Boolean(CFNumberRef, CFNumberType, void*));
KESTRUM_SIGNATURE(CFBooleanGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(CFBooleanGetValue, Boolean(CFBooleanRef));
KESTRUM_SIGNATURE(CFAbsoluteTimeGetCurrent, CFAbsoluteTime());
KESTRUM_SIGNATURE(CFRunLoopGetMain, CFRunLoopRef());
KESTRUM_SIGNATURE(CFRunLoopRun, void());
KESTRUM_SIGNATURE(CFRunLoopRunInMode, CFRunLoopRunResult(CFRunLoopMode, CFTimeInterval, Boolean));
KESTRUM_SIGNATURE(CFRunLoopAddSource, void(CFRunLoopRef, CFRunLoopSourceRef, CFRunLoopMode));
KESTRUM_SIGNATURE(CFRunLoopRemoveSource, void(CFRunLoopRef, CFRunLoopSourceRef, CFRunLoopMode));
KESTRUM_SIGNATURE(CFRunLoopAddTimer, void(CFRunLoopRef, CFRunLoopTimerRef, CFRunLoopMode));
KESTRUM_SIGNATURE(CFRunLoopTimerCreateWithHandler, CFRunLoopTimerRef(CFAllocatorRef, CFAbsoluteTime, CFTimeInterval,
                                                                     CFOptionFlags, CFIndex,
                                                                     void (^)(CFRunLoopTimerRef)));
KESTRUM_SIGNATURE(CFRunLoopTimerInvalidate, void(CFRunLoopTimerRef));
KESTRUM_SIGNATURE(CFRunLoopTimerIsValid, Boolean(CFRunLoopTimerRef));
KESTRUM_SIGNATURE(CFRunLoopTimerSetTolerance, void(CFRunLoopTimerRef, CFTimeInterval));
KESTRUM_SIGNATURE(CFRunLoopTimerGetTolerance, CFTimeInterval(CFRunLoopTimerRef));

// CoreGraphics
KESTRUM_SIGNATURE(CGPointMake, CGPoint(CGFloat, CGFloat));
KESTRUM_SIGNATURE(CGSizeMake, CGSize(CGFloat, CGFloat));
KESTRUM_SIGNATURE(CGRectMake, CGRect(CGFloat, CGFloat, CGFloat, CGFloat));
KESTRUM_SIGNATURE(CGWindowListCopyWindowInfo, CFArrayRef(CGWindowListOption, CGWindowID));
KESTRUM_SIGNATURE(CGDisplayBounds, CGRect(CGDirectDisplayID));
KESTRUM_SIGNATURE(CGPreflightScreenCaptureAccess, bool());
KESTRUM_SIGNATURE(CGEventCreate, CGEventRef(CGEventSourceRef));
KESTRUM_SIGNATURE(CGEventGetUnflippedLocation, CGPoint(CGEventRef));

// ApplicationServices (accessibility)
KESTRUM_SIGNATURE(AXIsProcessTrusted, Boolean());
KESTRUM_SIGNATURE(AXIsProcessTrustedWithOptions, Boolean(CFDictionaryRef));
KESTRUM_SIGNATURE(AXUIElementGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(AXUIElementCreateApplication, AXUIElementRef(pid_t));
KESTRUM_SIGNATURE(AXUIElementCopyAttributeValue, AXError(AXUIElementRef, CFStringRef, CFTypeRef*));
KESTRUM_SIGNATURE(AXUIElementSetMessagingTimeout, AXError(AXUIElementRef, float));
KESTRUM_SIGNATURE(AXValueGetTypeID, CFTypeID());
KESTRUM_SIGNATURE(AXValueGetType, AXValueType(AXValueRef));
KESTRUM_SIGNATURE(AXValueGetValue, Boolean(AXValueRef, AXValueType, void*));
KESTRUM_SIGNATURE(AXValueCreate, AXValueRef(AXValueType, const void*));
KESTRUM_SIGNATURE(AXObserverCreate, AXError(pid_t, AXObserverCallback, AXObserverRef*));
KESTRUM_SIGNATURE(AXObserverAddNotification, AXError(AXObserverRef, AXUIElementRef, CFStringRef, void*));
KESTRUM_SIGNATURE(AXObserverGetRunLoopSource, CFRunLoopSourceRef(AXObserverRef));
static_assert(std::is_same_v<AXObserverCallback, void (*)(AXObserverRef, AXUIElementRef, CFStringRef, void*)>);

// libdispatch and the Mach clock
KESTRUM_SIGNATURE(dispatch_get_main_queue, dispatch_queue_main_t());
KESTRUM_SIGNATURE(dispatch_get_global_queue, dispatch_queue_global_t(intptr_t, uintptr_t));
KESTRUM_SIGNATURE(dispatch_async, void(dispatch_queue_t, dispatch_block_t));
KESTRUM_SIGNATURE(dispatch_time, dispatch_time_t(dispatch_time_t, int64_t));
KESTRUM_SIGNATURE(dispatch_source_create,
                  dispatch_source_t(dispatch_source_type_t, uintptr_t, uintptr_t, dispatch_queue_t));
KESTRUM_SIGNATURE(dispatch_source_set_timer, void(dispatch_source_t, dispatch_time_t, uint64_t, uint64_t));
KESTRUM_SIGNATURE(dispatch_source_set_event_handler, void(dispatch_source_t, dispatch_block_t));
KESTRUM_SIGNATURE(dispatch_source_cancel, void(dispatch_source_t));
KESTRUM_SIGNATURE(dispatch_resume, void(dispatch_object_t));
KESTRUM_SIGNATURE(dispatch_semaphore_create, dispatch_semaphore_t(intptr_t));
KESTRUM_SIGNATURE(dispatch_semaphore_signal, intptr_t(dispatch_semaphore_t));
KESTRUM_SIGNATURE(dispatch_semaphore_wait, intptr_t(dispatch_semaphore_t, dispatch_time_t));
KESTRUM_SIGNATURE(mach_absolute_time, uint64_t());
KESTRUM_SIGNATURE(mach_timebase_info, kern_return_t(mach_timebase_info_t));
KESTRUM_SIGNATURE(_NSGetExecutablePath, int(char*, uint32_t*));

// QuartzCore
KESTRUM_SIGNATURE(CATransform3DMakeRotation, CATransform3D(CGFloat, CGFloat, CGFloat, CGFloat));
KESTRUM_SIGNATURE(CATransform3DScale, CATransform3D(CATransform3D, CGFloat, CGFloat, CGFloat));
