#pragma once
// AppKit and AVFoundation are loaded the first time a port needs one of their classes, so that
// the helper's short commands (status reads three system answers) start without those
// frameworks' initializers. Their classes and constants are found by name at run time; every
// message sent to them is still checked against the frameworks' headers, and the macros below
// take the name as written in those headers, so a misspelt name does not compile.
#import <Foundation/Foundation.h>

#include <type_traits>

namespace kestrum::macos {

enum class Framework { appKit, avFoundation };

// The named class of the framework (loading it on first use), or Nil when it cannot be had.
Class frameworkClass(Framework framework, const char* className);
// The address of a constant the framework exports, or nullptr.
const void* frameworkSymbol(Framework framework, const char* symbolName);

template <typename Object>
Object frameworkConstant(Framework framework, const char* symbolName) {
    const void* address = frameworkSymbol(framework, symbolName);
    return address ? *static_cast<Object __unsafe_unretained const*>(address) : nil;
}

}  // namespace kestrum::macos

// The class named `name` of `framework`; `sizeof` only checks that the headers declare it.
#define KESTRUM_FRAMEWORK_CLASS(framework, name) \
    ((void)sizeof(name*), ::kestrum::macos::frameworkClass(::kestrum::macos::Framework::framework, #name))

// The value of the framework's constant `name`, typed as its header declares it.
#define KESTRUM_FRAMEWORK_CONSTANT(framework, name)                              \
    ::kestrum::macos::frameworkConstant<std::remove_const_t<decltype(name)>>( \
        ::kestrum::macos::Framework::framework, #name)
