#import "AppKitViews.hpp"

#import <QuartzCore/QuartzCore.h>

#include <string_view>

namespace kestrum::macos {

NSString* nsString(std::string_view text) {
    NSString* string = [[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding];
    return string ? string : @"";
}

NSImage* symbolImage(NSString* name, CGFloat pointSize, NSFontWeight weight, NSImageSymbolConfiguration* colours) {
    NSImageSymbolConfiguration* configuration = [NSImageSymbolConfiguration configurationWithPointSize:pointSize
                                                                                                weight:weight];
    if (colours) configuration = [configuration configurationByApplyingConfiguration:colours];
    return [[NSImage imageWithSystemSymbolName:name accessibilityDescription:nil]
        imageWithSymbolConfiguration:configuration];
}

NSImageSymbolConfiguration* paletteColours(CGFloat secondaryOpacity) {
    return [NSImageSymbolConfiguration configurationWithPaletteColors:@[
        NSColor.labelColor, [NSColor.secondaryLabelColor colorWithAlphaComponent:secondaryOpacity]
    ]];
}

}  // namespace kestrum::macos

@implementation KestrumRoundedBackgroundView {
    CGFloat _radius;
    NSColor* _fill;
    NSColor* _stroke;
}

- (instancetype)initWithCornerRadius:(CGFloat)radius fill:(NSColor*)fill stroke:(NSColor*)stroke {
    self = [super initWithFrame:NSZeroRect];
    if (self) {
        _radius = radius;
        _fill = fill;
        _stroke = stroke;
        self.wantsLayer = YES;
    }
    return self;
}

- (BOOL)wantsUpdateLayer {
    return YES;
}

// Called with the view's appearance current, also after the appearance changed.
- (void)updateLayer {
    CALayer* layer = self.layer;
    layer.cornerRadius = _radius;
    layer.cornerCurve = kCACornerCurveContinuous;
    layer.backgroundColor = _fill.CGColor;
    layer.borderWidth = 1;
    layer.borderColor = _stroke.CGColor;
}

// Decoration only: clicks go to what lies beneath or above it.
- (NSView*)hitTest:(NSPoint)point {
    (void)point;
    return nil;
}

@end
