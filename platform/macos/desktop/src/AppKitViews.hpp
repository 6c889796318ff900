#pragma once
// Small AppKit pieces the panel and the card share.
#import <AppKit/AppKit.h>

#include <string_view>

namespace kestrum::macos {

// The text as a string; invalid UTF-8 gives the empty string.
NSString* nsString(std::string_view text);

// An SF Symbols image at a point size and weight, coloured by `configuration` (may be nil).
NSImage* symbolImage(NSString* name, CGFloat pointSize, NSFontWeight weight, NSImageSymbolConfiguration* colours);

// Primary and secondary colour layers, the secondary one at `secondaryOpacity`.
NSImageSymbolConfiguration* paletteColours(CGFloat secondaryOpacity);

}  // namespace kestrum::macos

// A rounded rectangle that draws its fill and a one-point stroke in the current appearance:
// continuous corners, the colours resolved again whenever the appearance changes.
@interface KestrumRoundedBackgroundView : NSView
- (instancetype)initWithCornerRadius:(CGFloat)radius
                                fill:(NSColor*)fill
                              stroke:(NSColor*)stroke NS_DESIGNATED_INITIALIZER;
- (instancetype)initWithFrame:(NSRect)frame NS_UNAVAILABLE;
- (instancetype)initWithCoder:(NSCoder*)coder NS_UNAVAILABLE;
@end
