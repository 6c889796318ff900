// GNUstep's Foundation, with what the macOS shell relies on from Apple's: CoreFoundation comes
// with it, objects cross into CoreFoundation with CFBridgingRetain, initializers marked
// NS_UNAVAILABLE cannot be called (GNUstep defines the macro as nothing), declarations carry their
// availability as Apple's headers write it (API_AVAILABLE(macos(14.0))), and tasks start from a URL.
#pragma once

#include_next <Foundation/Foundation.h>

#include <CoreFoundation/CoreFoundation.h>

inline CFTypeRef CFBridgingRetain(id X) { return (__bridge_retained CFTypeRef)X; }

#undef NS_UNAVAILABLE
#define NS_UNAVAILABLE __attribute__((unavailable))

// Only the form the declaration headers use: one platform, the version it was introduced in. The
// availability check of typecheck.sh compiles for macOS 13, where clang holds calls to it.
#ifndef API_AVAILABLE
#define KESTRUM_AVAILABILITY_macos(version) availability(macos, introduced = version)
#define API_AVAILABLE(platform) __attribute__((KESTRUM_AVAILABILITY_##platform))
#endif

@interface NSTask (KestrumDeclarations)
@property(copy) NSURL* executableURL API_AVAILABLE(macos(10.13));
- (BOOL)launchAndReturnError:(NSError**)error API_AVAILABLE(macos(10.13));
@end
