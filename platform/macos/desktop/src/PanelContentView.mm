#import "PanelContentView.hpp"

#import <QuartzCore/QuartzCore.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#import "AppCardView.hpp"
#import "AppKitViews.hpp"
#include "kestrum/PanelDesign.hpp"

using kestrum::PanelContentDesign;

namespace {

NSAttributedString* titleString(const std::vector<kestrum::StyledRun>& runs) {
    NSMutableAttributedString* title = [[NSMutableAttributedString alloc] init];
    for (const kestrum::StyledRun& run : runs) {
        const NSFontWeight weight = run.strong ? NSFontWeightBold : NSFontWeightRegular;
        NSFont* font = run.code ? [NSFont monospacedSystemFontOfSize:PanelContentDesign::titleFontSize weight:weight]
                                : [NSFont systemFontOfSize:PanelContentDesign::titleFontSize weight:weight];
        if (run.emphasis) font = [[NSFontManager sharedFontManager] convertFont:font toHaveTrait:NSItalicFontMask];
        NSMutableDictionary<NSAttributedStringKey, id>* attributes = [NSMutableDictionary dictionary];
        attributes[NSFontAttributeName] = font;
        attributes[NSForegroundColorAttributeName] = NSColor.labelColor;
        if (run.link) {
            if (NSURL* link = [NSURL URLWithString:kestrum::macos::nsString(*run.link)]) {
                attributes[NSLinkAttributeName] = link;
            }
        }
        [title appendAttributedString:[[NSAttributedString alloc] initWithString:kestrum::macos::nsString(run.text)
                                                                      attributes:attributes]];
    }
    return title;
}

}  // namespace

// A borderless button that takes the press that reaches its window: the panel never becomes
// key, so every press is the first one its window gets.
@interface KestrumPanelButton : NSButton
@end

@implementation KestrumPanelButton

- (BOOL)acceptsFirstMouse:(NSEvent*)event {
    (void)event;
    return YES;
}

@end

// The arrow beside the title. Its symbol is a sublayer of a layer-hosting view, so that the
// rotation, shift and scale of a pose apply to it alone and animate with Core Animation.
@interface KestrumDirectionIconView : NSView
- (void)showPose:(const kestrum::HeaderDirectionIconPose&)pose animated:(BOOL)animated;
@end

@implementation KestrumDirectionIconView {
    CALayer* _symbol;
    kestrum::HeaderDirectionIconPose _pose;
}

- (instancetype)initWithFrame:(NSRect)frame {
    self = [super initWithFrame:frame];
    if (self) {
        NSImage* image = kestrum::macos::symbolImage(
            @"arrowshape.up.fill", PanelContentDesign::directionIconFontSize, NSFontWeightBold,
            [NSImageSymbolConfiguration configurationWithHierarchicalColor:NSColor.controlAccentColor]);
        _symbol = [CALayer layer];
        _symbol.contents = image;
        _symbol.contentsGravity = kCAGravityResizeAspect;
        _symbol.bounds = CGRectMake(0, 0, image.size.width, image.size.height);
        self.layer = [CALayer layer];
        self.wantsLayer = YES;
        [self.layer addSublayer:_symbol];
        [self showPose:_pose animated:NO];
    }
    return self;
}

- (NSSize)intrinsicContentSize {
    return _symbol.bounds.size;
}

- (void)viewDidChangeBackingProperties {
    [super viewDidChangeBackingProperties];
    _symbol.contentsScale = self.window ? self.window.backingScaleFactor : 1;
}

- (void)layout {
    [super layout];
    [self showPose:_pose animated:NO];
}

// The pose is given in y-down coordinates; this layer's y grows upward, so the counter-clockwise
// tilt is a positive angle here and the downward shift a smaller y.
- (void)showPose:(const kestrum::HeaderDirectionIconPose&)pose animated:(BOOL)animated {
    _pose = pose;
    [CATransaction begin];
    [CATransaction setDisableActions:!animated];
    [CATransaction setAnimationDuration:pose.animationSeconds];
    [CATransaction setAnimationTimingFunction:[CAMediaTimingFunction functionWithName:kCAMediaTimingFunctionEaseInEaseOut]];
    const CGFloat angle = -pose.rotationDegrees * M_PI / 180;
    _symbol.transform = CATransform3DScale(CATransform3DMakeRotation(angle, 0, 0, 1), pose.scale, pose.scale, 1);
    _symbol.position = CGPointMake(NSMidX(self.bounds), NSMidY(self.bounds) - pose.offsetY);
    [CATransaction commit];
}

@end

@implementation KestrumPanelContentView {
    std::shared_ptr<kestrum::macos::DelegateLink> _link;
    NSStackView* _column;
    KestrumDirectionIconView* _icon;
    NSTextField* _title;
    NSButton* _settingsButton;
    KestrumAppDragSourceView* _card;
    NSLayoutConstraint* _measuringWidth;
    BOOL _hasContent;
}

- (instancetype)initWithLink:(std::shared_ptr<kestrum::macos::DelegateLink>)link {
    self = [super initWithFrame:NSZeroRect];
    if (!self) return nil;
    _link = std::move(link);

    NSVisualEffectView* material = [[NSVisualEffectView alloc] initWithFrame:self.bounds];
    material.material = NSVisualEffectMaterialPopover;
    material.blendingMode = NSVisualEffectBlendingModeBehindWindow;
    material.state = NSVisualEffectStateActive;  // the panel is never key, the material stays lively
    material.maskImage = [self materialMask];
    material.autoresizingMask = NSViewWidthSizable | NSViewHeightSizable;
    [self addSubview:material];

    KestrumRoundedBackgroundView* stroke = [[KestrumRoundedBackgroundView alloc]
        initWithCornerRadius:PanelContentDesign::cornerRadius
                        fill:NSColor.clearColor
                      stroke:[NSColor.labelColor colorWithAlphaComponent:PanelContentDesign::strokeOpacity]];
    stroke.frame = self.bounds;
    stroke.autoresizingMask = NSViewWidthSizable | NSViewHeightSizable;
    [self addSubview:stroke];

    _icon = [[KestrumDirectionIconView alloc] initWithFrame:NSZeroRect];

    _title = [NSTextField wrappingLabelWithString:@""];
    _title.selectable = NO;
    _title.maximumNumberOfLines = 0;
    [_title setContentHuggingPriority:NSLayoutPriorityDefaultLow forOrientation:NSLayoutConstraintOrientationHorizontal];
    [_title setContentCompressionResistancePriority:NSLayoutPriorityDefaultLow
                                     forOrientation:NSLayoutConstraintOrientationHorizontal];

    _settingsButton = [self symbolButton:@"gear"
                               pointSize:PanelContentDesign::settingsSymbolFontSize
                                  action:@selector(settingsPressed:)];
    NSButton* closeButton = [self symbolButton:@"xmark.circle.fill"
                                     pointSize:PanelContentDesign::closeSymbolFontSize
                                        action:@selector(closePressed:)];
    NSStackView* buttons = [NSStackView stackViewWithViews:@[ _settingsButton, closeButton ]];
    buttons.orientation = NSUserInterfaceLayoutOrientationHorizontal;
    buttons.alignment = NSLayoutAttributeTop;
    buttons.spacing = PanelContentDesign::headerSpacing;

    // Leading and trailing gravity: the flexible space between the title and the buttons.
    NSStackView* header = [[NSStackView alloc] initWithFrame:NSZeroRect];
    header.orientation = NSUserInterfaceLayoutOrientationHorizontal;
    header.alignment = NSLayoutAttributeTop;
    header.spacing = PanelContentDesign::headerSpacing;
    [header addView:_icon inGravity:NSStackViewGravityLeading];
    [header addView:_title inGravity:NSStackViewGravityLeading];
    [header addView:buttons inGravity:NSStackViewGravityTrailing];

    _column = [NSStackView stackViewWithViews:@[ header ]];
    _column.orientation = NSUserInterfaceLayoutOrientationVertical;
    _column.alignment = NSLayoutAttributeLeading;
    _column.spacing = PanelContentDesign::columnSpacing;
    _column.edgeInsets = NSEdgeInsetsMake(PanelContentDesign::topPadding, PanelContentDesign::sidePadding,
                                          PanelContentDesign::bottomPadding, PanelContentDesign::sidePadding);
    _column.translatesAutoresizingMaskIntoConstraints = NO;
    [self addSubview:_column];

    // The column keeps its ideal height at the top; the width follows the panel.
    [NSLayoutConstraint activateConstraints:@[
        [_column.topAnchor constraintEqualToAnchor:self.topAnchor],
        [_column.leadingAnchor constraintEqualToAnchor:self.leadingAnchor],
        [_column.trailingAnchor constraintEqualToAnchor:self.trailingAnchor],
        [_column.bottomAnchor constraintLessThanOrEqualToAnchor:self.bottomAnchor],
        [header.widthAnchor constraintEqualToAnchor:_column.widthAnchor constant:-2 * PanelContentDesign::sidePadding],
    ]];
    _measuringWidth = [self.widthAnchor constraintEqualToConstant:0];
    return self;
}

// The material's shape: a rounded rectangle that stretches between its corners.
- (NSImage*)materialMask {
    const CGFloat radius = PanelContentDesign::cornerRadius;
    const CGFloat side = 2 * radius + 1;
    NSImage* mask = [NSImage imageWithSize:NSMakeSize(side, side)
                                   flipped:NO
                            drawingHandler:^BOOL(NSRect bounds) {
                              [NSColor.blackColor setFill];
                              [[NSBezierPath bezierPathWithRoundedRect:bounds xRadius:radius yRadius:radius] fill];
                              return YES;
                            }];
    mask.capInsets = NSEdgeInsetsMake(radius, radius, radius, radius);
    mask.resizingMode = NSImageResizingModeStretch;
    return mask;
}

- (NSButton*)symbolButton:(NSString*)symbol pointSize:(CGFloat)pointSize action:(SEL)action {
    NSImage* image = kestrum::macos::symbolImage(symbol, pointSize, NSFontWeightSemibold,
                                                 kestrum::macos::paletteColours(PanelContentDesign::buttonSecondaryOpacity));
    NSButton* button = [KestrumPanelButton buttonWithImage:image target:self action:action];
    button.bordered = NO;
    button.imagePosition = NSImageOnly;
    [button setContentHuggingPriority:NSLayoutPriorityRequired forOrientation:NSLayoutConstraintOrientationHorizontal];
    return button;
}

- (void)settingsPressed:(id)sender {
    (void)sender;
    if (_link->delegate) _link->delegate->settingsButtonPressed();
}

- (void)closePressed:(id)sender {
    (void)sender;
    if (_link->delegate) _link->delegate->closeButtonPressed();
}

- (void)showContent:(const kestrum::PanelContent&)content {
    [_icon showPose:content.icon animated:_hasContent && [self.window isVisible]];
    _hasContent = YES;
    _title.attributedStringValue = titleString(content.headerTitle);
    _settingsButton.hidden = !content.showsSettingsButton;

    if (content.card) {
        if (!_card) {
            _card = [[KestrumAppDragSourceView alloc] initWithLink:_link];
            [_column addArrangedSubview:_card];
            [_card.widthAnchor constraintEqualToAnchor:_column.widthAnchor constant:-2 * PanelContentDesign::sidePadding]
                .active = YES;
        }
        [_card showCard:*content.card];
    } else if (_card) {
        [_column removeArrangedSubview:_card];
        [_card removeFromSuperview];
        _card = nil;
    }
    self.needsLayout = YES;
}

// A wrapping label measures its height at its preferred width; give it the width it got.
- (void)layout {
    [super layout];
    const CGFloat width = NSWidth(_title.frame);
    if (_title.preferredMaxLayoutWidth != width) {
        _title.preferredMaxLayoutWidth = width;
        [super layout];
    }
}

- (CGFloat)fittingHeightAtWidth:(CGFloat)width limit:(CGFloat)limit {
    [self setFrameSize:NSMakeSize(width, limit)];
    _measuringWidth.constant = width;
    _measuringWidth.active = YES;
    [self layoutSubtreeIfNeeded];
    const CGFloat height = self.fittingSize.height;
    _measuringWidth.active = NO;
    return height;
}

@end
