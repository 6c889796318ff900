// GNUstep's AppKit, with the declarations the macOS shell uses that GNUstep lacks, written
// from Apple's documentation for the type-check: activation and open configurations,
// layer-backed views and Auto Layout sizing, stack views, labels, symbol images, drag items
// and sessions, window animation behaviour and the current event type names. Values that the
// shell relies on are asserted in Conformance.mm against the real SDK.
#pragma once

#include_next <AppKit/AppKit.h>

#import <CoreGraphics/CoreGraphics.h>

@class CALayer;
@class NSDraggingItem;

// Applications and the workspace

@interface NSApplication (KestrumDeclarations)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
@end

@interface NSRunningApplication (KestrumDeclarations)
- (BOOL)activateFromApplication:(NSRunningApplication*)application
                        options:(NSApplicationActivationOptions)options API_AVAILABLE(macos(14.0));
@end

@interface NSWorkspaceOpenConfiguration : NSObject <NSCopying>
+ (instancetype)configuration;
@property BOOL activates;
@end

@interface NSWorkspace (KestrumDeclarations)
- (void)openApplicationAtURL:(NSURL*)applicationURL
               configuration:(NSWorkspaceOpenConfiguration*)configuration
           completionHandler:(void (^)(NSRunningApplication* app, NSError* error))completionHandler;
@end

#ifdef __cplusplus
extern "C" {
#endif
extern NSNotificationName const NSWorkspaceDidActivateApplicationNotification;
extern const CGFloat NSViewNoIntrinsicMetric;
#ifdef __cplusplus
}
#endif

// Windows and events

typedef NS_ENUM(NSInteger, NSWindowAnimationBehavior){
    NSWindowAnimationBehaviorDefault = 0,
    NSWindowAnimationBehaviorNone = 2,
    NSWindowAnimationBehaviorDocumentWindow = 3,
    NSWindowAnimationBehaviorUtilityWindow = 4,
    NSWindowAnimationBehaviorAlertPanel = 5,
};

@interface NSWindow (KestrumDeclarations)
@property NSWindowAnimationBehavior animationBehavior;
@end

enum : NSEventType {
    NSEventTypeLeftMouseDown = 1,
    NSEventTypeRightMouseDown = 3,
};

// Views: layers, Auto Layout and sizing

@interface NSView (KestrumDeclarations)
@property BOOL wantsLayer;
@property(strong) CALayer* layer;
@property(readonly) BOOL wantsUpdateLayer;
- (void)updateLayer;
@property BOOL translatesAutoresizingMaskIntoConstraints;
@property(readonly) NSSize fittingSize;
@property(readonly) NSSize intrinsicContentSize;
- (void)invalidateIntrinsicContentSize;
@property BOOL needsLayout;
- (void)layout;
- (void)layoutSubtreeIfNeeded;
- (void)viewDidChangeBackingProperties;
- (void)setContentHuggingPriority:(NSLayoutPriority)priority forOrientation:(NSLayoutConstraintOrientation)orientation;
- (void)setContentCompressionResistancePriority:(NSLayoutPriority)priority
                                 forOrientation:(NSLayoutConstraintOrientation)orientation;
@property(readonly, strong) NSLayoutXAxisAnchor* leadingAnchor;
@property(readonly, strong) NSLayoutXAxisAnchor* trailingAnchor;
@property(readonly, strong) NSLayoutYAxisAnchor* topAnchor;
@property(readonly, strong) NSLayoutYAxisAnchor* bottomAnchor;
@property(readonly, strong) NSLayoutYAxisAnchor* centerYAnchor;
@property(readonly, strong) NSLayoutDimension* widthAnchor;
@property(readonly, strong) NSLayoutDimension* heightAnchor;
- (NSDraggingSession*)beginDraggingSessionWithItems:(NSArray<NSDraggingItem*>*)items
                                              event:(NSEvent*)event
                                             source:(id<NSDraggingSource>)source;
@end

@interface NSLayoutConstraint (KestrumDeclarations)
@property CGFloat constant;
@end

@interface NSLayoutDimension (KestrumDeclarations)
- (NSLayoutConstraint*)constraintEqualToConstant:(CGFloat)c;
@end

typedef NS_ENUM(NSInteger, NSStackViewGravity){
    NSStackViewGravityTop = 1,
    NSStackViewGravityLeading = 1,
    NSStackViewGravityCenter = 2,
    NSStackViewGravityBottom = 3,
    NSStackViewGravityTrailing = 3,
};

@interface NSStackView : NSView
+ (instancetype)stackViewWithViews:(NSArray<NSView*>*)views;
@property NSUserInterfaceLayoutOrientation orientation;
@property NSLayoutAttribute alignment;
@property NSEdgeInsets edgeInsets;
@property CGFloat spacing;
- (void)addView:(NSView*)view inGravity:(NSStackViewGravity)gravity;
- (void)addArrangedSubview:(NSView*)view;
- (void)removeArrangedSubview:(NSView*)view;
@end

// Controls, fonts, colours and images

@interface NSTextField (KestrumDeclarations)
+ (instancetype)labelWithString:(NSString*)stringValue;
+ (instancetype)wrappingLabelWithString:(NSString*)stringValue;
@property NSInteger maximumNumberOfLines;
@property CGFloat preferredMaxLayoutWidth;
@end

@interface NSButton (KestrumDeclarations)
+ (instancetype)buttonWithImage:(NSImage*)image target:(id)target action:(SEL)action;
@end

@interface NSImageView (KestrumDeclarations)
+ (instancetype)imageViewWithImage:(NSImage*)image;
@property(copy) NSColor* contentTintColor;
@end

@interface NSFont (KestrumDeclarations)
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight;
+ (NSFont*)monospacedSystemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight;
@end

@interface NSColor (KestrumDeclarations)
@property(class, strong, readonly) NSColor* controlAccentColor;
@property(readonly) CGColorRef CGColor;
@end

typedef NS_ENUM(NSInteger, NSImageResizingMode){
    NSImageResizingModeTile = 0,
    NSImageResizingModeStretch = 1,
};

@interface NSImageSymbolConfiguration : NSObject <NSCopying>
+ (instancetype)configurationWithPointSize:(CGFloat)pointSize weight:(NSFontWeight)weight;
+ (instancetype)configurationWithHierarchicalColor:(NSColor*)hierarchicalColor;
+ (instancetype)configurationWithPaletteColors:(NSArray<NSColor*>*)paletteColors;
- (instancetype)configurationByApplyingConfiguration:(NSImageSymbolConfiguration*)configuration;
@end

@interface NSImage (KestrumDeclarations)
+ (instancetype)imageWithSystemSymbolName:(NSString*)name accessibilityDescription:(NSString*)description;
- (NSImage*)imageWithSymbolConfiguration:(NSImageSymbolConfiguration*)configuration;
+ (instancetype)imageWithSize:(NSSize)size
                      flipped:(BOOL)drawingHandlerShouldBeCalledWithFlippedContext
               drawingHandler:(BOOL (^)(NSRect dstRect))drawingHandler;
@property NSEdgeInsets capInsets;
@property NSImageResizingMode resizingMode;
@end

// Dragging and the pasteboard

typedef NSString* NSPasteboardType;

typedef NS_ENUM(NSInteger, NSDraggingFormation){
    NSDraggingFormationDefault = 0,
    NSDraggingFormationNone = 1,
    NSDraggingFormationPile = 2,
    NSDraggingFormationList = 3,
    NSDraggingFormationStack = 4,
};

@interface NSDraggingItem : NSObject
- (instancetype)initWithPasteboardWriter:(id<NSPasteboardWriting>)pasteboardWriter;
- (void)setDraggingFrame:(NSRect)frame contents:(id)contents;
@end

@interface NSDraggingSession : NSObject
@property NSDraggingFormation draggingFormation;
@property BOOL animatesToStartingPositionsOnCancelOrFail;
@end
