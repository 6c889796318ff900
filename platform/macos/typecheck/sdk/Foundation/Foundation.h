// GNUstep's Foundation, with what the macOS shell relies on from Apple's: CoreFoundation comes
// with it, objects cross into CoreFoundation with CFBridgingRetain, and initializers marked
// NS_UNAVAILABLE cannot be called (GNUstep defines the macro as nothing).
#pragma once

#include_next <Foundation/Foundation.h>

#include <CoreFoundation/CoreFoundation.h>

inline CFTypeRef CFBridgingRetain(id X) { return (__bridge_retained CFTypeRef)X; }

#undef NS_UNAVAILABLE
#define NS_UNAVAILABLE __attribute__((unavailable))
