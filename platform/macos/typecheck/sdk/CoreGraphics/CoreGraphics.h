// Declarations of the CoreGraphics the macOS shell uses (geometry, the window list, displays,
// the screen-capture preflight, events and colours), written from Apple's documentation for
// the type-check. On the Mac, CGPoint, CGSize and CGRect are the very types NSPoint, NSSize
// and NSRect; here they are GNUstep's, so that mixing them is checked as it is there.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/NSGeometry.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef NSPoint CGPoint;
typedef NSSize CGSize;
typedef NSRect CGRect;

CGPoint CGPointMake(CGFloat x, CGFloat y);
CGSize CGSizeMake(CGFloat width, CGFloat height);
CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height);

typedef uint32_t CGDirectDisplayID;
typedef uint32_t CGWindowID;
typedef uint32_t CGWindowListOption;
enum : CGWindowListOption {
    kCGWindowListOptionOnScreenOnly = 1 << 0,
    kCGWindowListExcludeDesktopElements = 1 << 4,
};
enum : CGWindowID { kCGNullWindowID = 0 };

extern const CFStringRef kCGWindowOwnerPID;
extern const CFStringRef kCGWindowLayer;
extern const CFStringRef kCGWindowAlpha;
extern const CFStringRef kCGWindowBounds;

CFArrayRef CGWindowListCopyWindowInfo(CGWindowListOption option, CGWindowID relativeToWindow);
CGRect CGDisplayBounds(CGDirectDisplayID display);
bool CGPreflightScreenCaptureAccess(void);

typedef struct __CGEvent* CGEventRef;
typedef struct __CGEventSource* CGEventSourceRef;
CGEventRef CGEventCreate(CGEventSourceRef source);
CGPoint CGEventGetUnflippedLocation(CGEventRef event);

typedef struct CGColor* CGColorRef;

#ifdef __cplusplus
}
#endif
