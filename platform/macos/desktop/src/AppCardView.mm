#import "AppCardView.hpp"

#import <QuartzCore/QuartzCore.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#import "AppKitViews.hpp"
#include "kestrum/AppDragSource.hpp"
#include "kestrum/PanelDesign.hpp"

using kestrum::AppCardDesign;

// The one pasteboard item of the card's drag: the types and values the core writes.
@interface KestrumBundlePasteboardWriter : NSObject <NSPasteboardWriting>
- (instancetype)initWithWriter:(const kestrum::AppBundlePasteboardWriter&)writer NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
@end

@implementation KestrumBundlePasteboardWriter {
    std::optional<kestrum::AppBundlePasteboardWriter> _writer;
}

- (instancetype)initWithWriter:(const kestrum::AppBundlePasteboardWriter&)writer {
    self = [super init];
    if (self) _writer.emplace(writer);
    return self;
}

- (NSArray<NSPasteboardType>*)writableTypesForPasteboard:(NSPasteboard*)pasteboard {
    (void)pasteboard;
    NSMutableArray<NSPasteboardType>* types = [NSMutableArray array];
    for (const std::string& type : _writer->writableTypes()) [types addObject:kestrum::macos::nsString(type)];
    return types;
}

- (id)pasteboardPropertyListForType:(NSPasteboardType)type {
    const char* name = type.UTF8String;
    const auto value = name ? _writer->pasteboardPropertyList(name) : std::nullopt;
    return value ? kestrum::macos::nsString(*value) : nil;
}

@end

namespace {

NSRect nsRect(const kestrum::Rect& rect) { return NSMakeRect(rect.x(), rect.y(), rect.width(), rect.height()); }

NSTextField* label(CGFloat size, NSFontWeight weight, NSColor* colour) {
    NSTextField* field = [NSTextField labelWithString:@""];
    field.font = [NSFont systemFontOfSize:size weight:weight];
    field.textColor = colour;
    return field;
}

// Sources whose drag session runs: the session calls its source until it ends, even when the
// panel that showed the card has gone meanwhile.
NSMutableSet<KestrumAppDragSourceView*>* sourcesInSession() {
    static NSMutableSet<KestrumAppDragSourceView*>* sources = [NSMutableSet set];
    return sources;
}

}  // namespace

@implementation KestrumAppDragSourceView {
    std::shared_ptr<kestrum::macos::DelegateLink> _link;
    std::unique_ptr<kestrum::AppDragSource> _source;
    KestrumRoundedBackgroundView* _card;
    NSStackView* _row;
    NSImageView* _icon;
    NSTextField* _name;
    NSTextField* _hint;
}

- (instancetype)initWithLink:(std::shared_ptr<kestrum::macos::DelegateLink>)link {
    self = [super initWithFrame:NSZeroRect];
    if (!self) return nil;
    _link = std::move(link);
    self.translatesAutoresizingMaskIntoConstraints = NO;

    const NSSize iconSize = NSMakeSize(AppCardDesign::iconSize, AppCardDesign::iconSize);
    _icon = [NSImageView imageViewWithImage:[[NSImage alloc] initWithSize:iconSize]];
    _icon.imageScaling = NSImageScaleAxesIndependently;
    _icon.wantsLayer = YES;
    _icon.layer.cornerRadius = AppCardDesign::iconCornerRadius;
    _icon.layer.cornerCurve = kCACornerCurveContinuous;
    _icon.layer.masksToBounds = YES;

    _name = label(AppCardDesign::nameFontSize, NSFontWeightRegular, NSColor.labelColor);
    NSStackView* nameStack = [NSStackView stackViewWithViews:@[ _name ]];
    nameStack.orientation = NSUserInterfaceLayoutOrientationVertical;
    nameStack.alignment = NSLayoutAttributeLeading;
    nameStack.spacing = AppCardDesign::nameStackSpacing;

    NSImage* handSymbol =
        kestrum::macos::symbolImage(@"hand.draw", AppCardDesign::hintSymbolFontSize, NSFontWeightRegular, nil);
    NSImageView* hand = [NSImageView imageViewWithImage:handSymbol];
    hand.contentTintColor = NSColor.secondaryLabelColor;
    _hint = label(AppCardDesign::hintLabelFontSize, NSFontWeightLight, NSColor.secondaryLabelColor);
    NSStackView* hintStack = [NSStackView stackViewWithViews:@[ hand, _hint ]];
    hintStack.orientation = NSUserInterfaceLayoutOrientationVertical;
    hintStack.alignment = NSLayoutAttributeCenterX;
    hintStack.spacing = 0;
    hintStack.edgeInsets = NSEdgeInsetsMake(0, 0, 0, AppCardDesign::hintTrailingPadding);

    NSStackView* row = _row = [[NSStackView alloc] initWithFrame:NSZeroRect];
    row.orientation = NSUserInterfaceLayoutOrientationHorizontal;
    row.alignment = NSLayoutAttributeCenterY;
    row.spacing = AppCardDesign::spacing;
    const CGFloat padding = AppCardDesign::padding;
    row.edgeInsets = NSEdgeInsetsMake(padding, padding, padding, padding);
    [row addView:_icon inGravity:NSStackViewGravityLeading];
    [row addView:nameStack inGravity:NSStackViewGravityLeading];
    [row addView:hintStack inGravity:NSStackViewGravityTrailing];
    row.translatesAutoresizingMaskIntoConstraints = NO;

    _card = [[KestrumRoundedBackgroundView alloc]
        initWithCornerRadius:AppCardDesign::cornerRadius
                        fill:[NSColor.windowBackgroundColor colorWithAlphaComponent:AppCardDesign::backgroundOpacity]
                      stroke:[NSColor.labelColor colorWithAlphaComponent:AppCardDesign::strokeOpacity]];
    _card.translatesAutoresizingMaskIntoConstraints = NO;
    [self addSubview:_card];
    [self addSubview:row];

    // The card is as tall as its row, centred in the view, and as wide as the view.
    [NSLayoutConstraint activateConstraints:@[
        [_icon.widthAnchor constraintEqualToConstant:AppCardDesign::iconSize],
        [_icon.heightAnchor constraintEqualToConstant:AppCardDesign::iconSize],
        [row.leadingAnchor constraintEqualToAnchor:self.leadingAnchor],
        [row.trailingAnchor constraintEqualToAnchor:self.trailingAnchor],
        [row.centerYAnchor constraintEqualToAnchor:self.centerYAnchor],
        [_card.leadingAnchor constraintEqualToAnchor:row.leadingAnchor],
        [_card.trailingAnchor constraintEqualToAnchor:row.trailingAnchor],
        [_card.topAnchor constraintEqualToAnchor:row.topAnchor],
        [_card.bottomAnchor constraintEqualToAnchor:row.bottomAnchor],
    ]];
    return self;
}

- (void)showCard:(const kestrum::AppCardContent&)card {
    if (!_source) {
        _source = std::make_unique<kestrum::AppDragSource>(card.url);
        _source->onDragStateChange = [link = _link](bool dragging) {
            if (link->delegate) link->delegate->dragStateChanged(dragging);
        };
    } else {
        _source->setURL(card.url);
    }
    _icon.image = [[NSWorkspace sharedWorkspace] iconForFile:kestrum::macos::nsString(card.url.path())];
    _name.stringValue = kestrum::macos::nsString(card.name);
    _hint.stringValue = kestrum::macos::nsString(card.dragLabel);
    [self invalidateIntrinsicContentSize];
}

- (NSSize)intrinsicContentSize {
    const CGFloat fitting = _row.fittingSize.height;
    return NSMakeSize(NSViewNoIntrinsicMetric, kestrum::AppDragSource::intrinsicHeight(fitting));
}

// The panel never becomes key, so every press is the first one its window gets.
- (BOOL)acceptsFirstMouse:(NSEvent*)event {
    (void)event;
    return YES;
}

// Every press inside the card belongs to the card itself, not to its subviews.
- (NSView*)hitTest:(NSPoint)point {
    const NSPoint local = [self convertPoint:point fromView:self.superview];
    return NSPointInRect(local, self.bounds) ? self : nil;
}

- (kestrum::Point)locationOf:(NSEvent*)event {
    const NSPoint location = [self convertPoint:event.locationInWindow fromView:nil];
    return kestrum::Point{location.x, location.y};
}

- (void)mouseDown:(NSEvent*)event {
    if (_source) _source->mouseDown([self locationOf:event]);
}

- (void)mouseDragged:(NSEvent*)event {
    if (!_source) return;
    if (const auto start = _source->mouseDragged([self locationOf:event])) [self beginDrag:*start event:event];
}

- (void)mouseUp:(NSEvent*)event {
    (void)event;
    if (_source) _source->mouseUp();
}

- (void)beginDrag:(const kestrum::AppDragStart&)start event:(NSEvent*)event {
    KestrumBundlePasteboardWriter* writer = [[KestrumBundlePasteboardWriter alloc] initWithWriter:start.writer];
    NSDraggingItem* item = [[NSDraggingItem alloc] initWithPasteboardWriter:writer];
    NSImage* icon = [[NSWorkspace sharedWorkspace] iconForFile:kestrum::macos::nsString(start.iconPath)];
    icon.size = nsRect(start.imageFrame).size;
    [item setDraggingFrame:nsRect(start.imageFrame) contents:icon];
    [sourcesInSession() addObject:self];
    NSDraggingSession* session = [self beginDraggingSessionWithItems:@[ item ] event:event source:self];
    session.animatesToStartingPositionsOnCancelOrFail = start.animatesToStartingPositionOnCancel;
    session.draggingFormation = NSDraggingFormationNone;
}

- (NSDragOperation)draggingSession:(NSDraggingSession*)session
    sourceOperationMaskForDraggingContext:(NSDraggingContext)context {
    (void)session;
    const auto where = context == NSDraggingContextWithinApplication ? kestrum::DraggingContext::withinApplication
                                                                     : kestrum::DraggingContext::outsideApplication;
    return kestrum::AppDragSource::sourceOperationMask(where) == kestrum::DragOperation::copy ? NSDragOperationCopy
                                                                                              : NSDragOperationNone;
}

- (BOOL)ignoreModifierKeysForDraggingSession:(NSDraggingSession*)session {
    (void)session;
    return kestrum::AppDragSource::ignoresModifierKeys();
}

- (void)draggingSession:(NSDraggingSession*)session willBeginAtPoint:(NSPoint)screenPoint {
    (void)session;
    (void)screenPoint;
    if (_source) _source->draggingSessionWillBegin();
}

- (void)draggingSession:(NSDraggingSession*)session
           endedAtPoint:(NSPoint)screenPoint
              operation:(NSDragOperation)operation {
    (void)session;
    (void)screenPoint;
    (void)operation;
    if (_source) _source->draggingSessionEnded();
    [sourcesInSession() removeObject:self];
}

@end
