// The floating panel's window: a non-activating NSPanel that floats on every space, never
// becomes key or main, and reports presses and unexpected activation to its delegate.
#import <AppKit/AppKit.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "DelegateLink.hpp"
#include "MacDesktopPorts.hpp"
#import "PanelContentView.hpp"
#include "kestrum/FloatingDropPanel.hpp"

@interface KestrumPanel : NSPanel
- (instancetype)initWithContentSize:(NSSize)size
                               link:(std::shared_ptr<kestrum::macos::DelegateLink>)link NS_DESIGNATED_INITIALIZER;
- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag NS_UNAVAILABLE;
- (instancetype)initWithCoder:(NSCoder*)coder NS_UNAVAILABLE;
@end

@implementation KestrumPanel {
    std::shared_ptr<kestrum::macos::DelegateLink> _link;
}

- (instancetype)initWithContentSize:(NSSize)size link:(std::shared_ptr<kestrum::macos::DelegateLink>)link {
    self = [super initWithContentRect:NSMakeRect(0, 0, size.width, size.height)
                            styleMask:NSWindowStyleMaskNonactivatingPanel
                              backing:NSBackingStoreBuffered
                                defer:NO];
    if (!self) return nil;
    _link = std::move(link);
    self.level = NSFloatingWindowLevel;
    self.releasedWhenClosed = NO;
    self.opaque = NO;
    self.backgroundColor = NSColor.clearColor;
    self.hasShadow = YES;
    self.collectionBehavior =
        NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorFullScreenAuxiliary;
    self.movableByWindowBackground = NO;
    self.hidesOnDeactivate = NO;
    self.animationBehavior = NSWindowAnimationBehaviorUtilityWindow;
    return self;
}

- (BOOL)canBecomeKeyWindow {
    return NO;
}

- (BOOL)canBecomeMainWindow {
    return NO;
}

- (void)becomeKeyWindow {
    [super becomeKeyWindow];
    if (_link->delegate) _link->delegate->panelBecameKeyOrMain();
}

- (void)becomeMainWindow {
    [super becomeMainWindow];
    if (_link->delegate) _link->delegate->panelBecameKeyOrMain();
}

// A left or right press is reported, then takes its normal path.
- (void)sendEvent:(NSEvent*)event {
    const NSEventType type = event.type;
    if ((type == NSEventTypeLeftMouseDown || type == NSEventTypeRightMouseDown) && _link->delegate) {
        _link->delegate->panelReceivedMouseDown();
    }
    [super sendEvent:event];
}

@end

namespace kestrum::macos {
namespace {

NSRect nsRect(const Rect& rect) { return NSMakeRect(rect.x(), rect.y(), rect.width(), rect.height()); }

// The panel's content view holds the content at a scale: its bounds are the frame's size divided
// by the core's content scale, so that a frame too small for the content (the launch, the wait
// at the pointer) shows all of it smaller, laid out larger, with working buttons.
class MacPanelWindow final : public PanelWindow {
public:
    MacPanelWindow(Size initialContentSize, PanelWindowDelegate& delegate)
        : link_(std::make_shared<DelegateLink>(DelegateLink{&delegate})),
          panel_([[KestrumPanel alloc] initWithContentSize:NSMakeSize(initialContentSize.width, initialContentSize.height)
                                                      link:link_]),
          scaled_([[NSView alloc] initWithFrame:NSZeroRect]),
          content_([[KestrumPanelContentView alloc] initWithLink:link_]),
          sizing_([[KestrumPanelContentView alloc] initWithLink:link_]) {
        [scaled_ addSubview:content_];
        panel_.contentView = scaled_;
        layOutContent(true);
    }
    ~MacPanelWindow() override {
        link_->delegate = nullptr;
        [panel_ orderOut:nil];
    }
    MacPanelWindow(const MacPanelWindow&) = delete;
    MacPanelWindow& operator=(const MacPanelWindow&) = delete;

    // The controller announces every assignment, also of unchanged values: the same content is
    // not laid out again. The measuring view is a second, never shown instance of the content.
    void setContent(const PanelContent& content) override {
        if (shown_ == content) return;
        shown_ = content;
        [content_ showContent:content];
        [sizing_ showContent:content];
        layOutContent(true);
    }
    double fittingHeight(double width, double heightLimit) override {
        return std::min<double>([sizing_ fittingHeightAtWidth:width limit:heightLimit], heightLimit);
    }
    Rect frame() const override {
        const NSRect frame = panel_.frame;
        return Rect{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
    }
    void setFrame(const Rect& frame, bool display) override {
        [panel_ setFrame:nsRect(frame) display:display];
        layOutContent(false);
    }
    void setContentSize(Size size) override {
        [panel_ setContentSize:NSMakeSize(size.width, size.height)];
        layOutContent(false);
    }
    // A window is ordered within its level: at the floating level the panel would stay above
    // System Settings however far back it is ordered. It waits at the normal level while it is
    // ordered back (during a drag) and floats again when ordered front, as the Linux shell drops
    // and takes up its stay-on-top flag.
    void orderFrontRegardless() override {
        panel_.level = NSFloatingWindowLevel;
        [panel_ orderFrontRegardless];
    }
    void orderBack() override {
        panel_.level = NSNormalWindowLevel;
        [panel_ orderBack:nil];
    }
    void close() override { [panel_ close]; }
    void setAlphaValue(double alpha) override { panel_.alphaValue = alpha; }
    double alphaValue() const override { return panel_.alphaValue; }
    void setIgnoresMouseEvents(bool ignores) override { panel_.ignoresMouseEvents = ignores; }
    void center() override { [panel_ center]; }

private:
    // Lays the content out for the window's size: at that size when it fits, otherwise larger and
    // drawn smaller, by the scale the core gives. A move alone changes nothing here.
    void layOutContent(bool contentChanged) {
        const NSSize size = scaled_.frame.size;
        if (!contentChanged && NSEqualSizes(size, laidOutFor_)) return;
        laidOutFor_ = size;
        const double needed = [sizing_ fittingHeightAtWidth:size.width limit:FloatingDropPanel::sizingHeightLimit];
        const double scale = FloatingDropPanel::contentScale(Size{size.width, size.height}, needed);
        [scaled_ setBoundsOrigin:NSZeroPoint];
        [scaled_ setBoundsSize:NSMakeSize(size.width / scale, size.height / scale)];
        content_.frame = scaled_.bounds;
    }

    std::shared_ptr<DelegateLink> link_;
    KestrumPanel* panel_;
    NSView* scaled_;
    KestrumPanelContentView* content_;
    KestrumPanelContentView* sizing_;
    std::optional<PanelContent> shown_;
    NSSize laidOutFor_ = NSZeroSize;
};

class MacPanelWindowFactory final : public PanelWindowFactory {
public:
    std::unique_ptr<PanelWindow> makePanelWindow(Size initialContentSize, PanelWindowDelegate& delegate) override {
        return std::make_unique<MacPanelWindow>(initialContentSize, delegate);
    }
};

}  // namespace

std::shared_ptr<PanelWindowFactory> makePanelWindowFactory() { return std::make_shared<MacPanelWindowFactory>(); }

}  // namespace kestrum::macos
