#pragma once
// AppKit and AVFoundation are loaded the first time a port needs one of their classes, so that
// the helper's short commands (status reads three system answers) start without those
// frameworks' initializers. Their classes and constants are found by name at run time; every
// message sent to them is still checked against the class it names in the frameworks' headers,
// and the macros below take the name as written in those headers, so a misspelt name does not
// compile.
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

// Sends the message (a selector with its arguments, as between brackets) to the class `name` of
// `framework`, found at run time; nil, zero or nothing when the class cannot be had. The same
// message is also written to the class itself in an unevaluated operand, which names nothing in
// the object file: the compiler checks the selector and its arguments against that class's own
// declaration (a message sent to a plain `Class` would be checked against every class) and the
// result has the type that declaration gives it.
#define KESTRUM_FRAMEWORK_SEND(framework, name, ...)                          \
    ((decltype([name __VA_ARGS__]))[::kestrum::macos::frameworkClass(           \
        ::kestrum::macos::Framework::framework, #name) __VA_ARGS__])

// Whether the class `name` of `framework` can be had; `sizeof` only checks that the headers declare it.
#define KESTRUM_FRAMEWORK_HAS_CLASS(framework, name) \
    ((void)sizeof(name*), ::kestrum::macos::frameworkClass(::kestrum::macos::Framework::framework, #name) != Nil)

// The value of the framework's constant `name`, typed as its header declares it.
#define KESTRUM_FRAMEWORK_CONSTANT(framework, name)                              \
    ::kestrum::macos::frameworkConstant<std::remove_const_t<decltype(name)>>( \
        ::kestrum::macos::Framework::framework, #name)
