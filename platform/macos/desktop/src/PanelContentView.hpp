#pragma once
// The panel's content rendered with AppKit: direction arrow, instruction title, settings and
// close buttons, and the application card. It shows what the core put into PanelContent and
// reports the user's presses to the panel's delegate; it decides nothing itself.
#import <AppKit/AppKit.h>

#include <memory>

#include "DelegateLink.hpp"
#include "kestrum/PanelContent.hpp"

@interface KestrumPanelContentView : NSView
- (instancetype)initWithLink:(std::shared_ptr<kestrum::macos::DelegateLink>)link NS_DESIGNATED_INITIALIZER;
- (instancetype)initWithFrame:(NSRect)frame NS_UNAVAILABLE;
- (instancetype)initWithCoder:(NSCoder*)coder NS_UNAVAILABLE;
- (void)showContent:(const kestrum::PanelContent&)content;
// The height the content needs at `width`, laid out in a frame of `width` x `limit`.
- (CGFloat)fittingHeightAtWidth:(CGFloat)width limit:(CGFloat)limit;
@end
