#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "kestrum/macos/CoreFoundationValues.hpp"

namespace kestrum::macos {
namespace {

std::optional<std::string> text(CFTypeRef value) {
    const char* utf8 = [(__bridge NSString*)value UTF8String];
    if (!utf8) return std::nullopt;
    return std::string(utf8);
}

LooseValue number(CFNumberRef value) {
    if (!CFNumberIsFloatType(value)) {
        std::int64_t integer = 0;
        // A value beyond 64 signed bits does not convert exactly; it is kept as a real.
        if (CFNumberGetValue(value, kCFNumberSInt64Type, &integer)) return LooseValue(integer);
    }
    double real = 0;
    CFNumberGetValue(value, kCFNumberDoubleType, &real);
    return LooseValue(real);
}

LooseValue dictionary(CFDictionaryRef value) {
    LooseDictionary result;
    NSDictionary* entries = (__bridge NSDictionary*)value;
    for (id key in entries) {
        const auto name = CFGetTypeID((__bridge CFTypeRef)key) == CFStringGetTypeID() ? text((__bridge CFTypeRef)key)
                                                                                       : std::nullopt;
        if (!name) return LooseValue();
        result[*name] = looseValue((__bridge CFTypeRef)entries[key]);
    }
    return LooseValue(std::move(result));
}

LooseValue array(CFArrayRef value) {
    LooseList result;
    const CFIndex count = CFArrayGetCount(value);
    result.reserve(static_cast<std::size_t>(count));
    for (CFIndex index = 0; index < count; ++index) result.push_back(looseValue(CFArrayGetValueAtIndex(value, index)));
    return LooseValue(std::move(result));
}

}  // namespace

LooseValue looseValue(CFTypeRef value) {
    if (!value) return LooseValue();
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID()) return LooseValue(static_cast<bool>(CFBooleanGetValue(static_cast<CFBooleanRef>(value))));
    if (type == CFNumberGetTypeID()) return number(static_cast<CFNumberRef>(value));
    if (type == CFStringGetTypeID()) {
        auto converted = text(value);
        return converted ? LooseValue(std::move(*converted)) : LooseValue();
    }
    if (type == CFDictionaryGetTypeID()) return dictionary(static_cast<CFDictionaryRef>(value));
    if (type == CFArrayGetTypeID()) return array(static_cast<CFArrayRef>(value));
    return LooseValue();
}

std::optional<LooseValue> windowListValue(CFArrayRef windowList) {
    if (!windowList) return std::nullopt;
    // Only these are read: a window's name would need the screen-recording permission.
    const CFStringRef keys[] = {kCGWindowOwnerPID, kCGWindowLayer, kCGWindowAlpha, kCGWindowBounds};
    LooseList entries;
    const CFIndex count = CFArrayGetCount(windowList);
    entries.reserve(static_cast<std::size_t>(count));
    for (CFIndex index = 0; index < count; ++index) {
        const void* entry = CFArrayGetValueAtIndex(windowList, index);
        if (!entry || CFGetTypeID(entry) != CFDictionaryGetTypeID()) {
            entries.push_back(looseValue(entry));
            continue;
        }
        LooseDictionary kept;
        for (CFStringRef key : keys) {
            if (const void* member = CFDictionaryGetValue(static_cast<CFDictionaryRef>(entry), key)) {
                kept[text(key).value_or(std::string())] = looseValue(member);
            }
        }
        entries.push_back(LooseValue(std::move(kept)));
    }
    return LooseValue(std::move(entries));
}

}  // namespace kestrum::macos
