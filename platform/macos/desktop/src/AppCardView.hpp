#pragma once
// The draggable card of the application bundle: icon, name and drag hint. Mouse events go to
// the core's press tracking; when it says so, the view begins a drag session whose one item
// writes the core's pasteboard contents, and reports the session's beginning and end.
#import <AppKit/AppKit.h>

#include <memory>

#include "DelegateLink.hpp"
#include "kestrum/PanelContent.hpp"

@interface KestrumAppDragSourceView : NSView <NSDraggingSource>
- (instancetype)initWithLink:(std::shared_ptr<kestrum::macos::DelegateLink>)link NS_DESIGNATED_INITIALIZER;
- (instancetype)initWithFrame:(NSRect)frame NS_UNAVAILABLE;
- (instancetype)initWithCoder:(NSCoder*)coder NS_UNAVAILABLE;
- (void)showCard:(const kestrum::AppCardContent&)card;
@end
