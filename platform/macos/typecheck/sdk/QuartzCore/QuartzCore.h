// Declarations of the Core Animation the macOS shell uses (layers, transactions, timing),
// written from Apple's documentation for the type-check.
#pragma once

#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

typedef NSString* CALayerContentsGravity;
typedef NSString* CALayerCornerCurve;
typedef NSString* CAMediaTimingFunctionName;

struct CATransform3D {
    CGFloat m11, m12, m13, m14;
    CGFloat m21, m22, m23, m24;
    CGFloat m31, m32, m33, m34;
    CGFloat m41, m42, m43, m44;
};
typedef struct CATransform3D CATransform3D;

#ifdef __cplusplus
extern "C" {
#endif
extern CALayerContentsGravity const kCAGravityResizeAspect;
extern CALayerCornerCurve const kCACornerCurveContinuous;
extern CAMediaTimingFunctionName const kCAMediaTimingFunctionEaseInEaseOut;

CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
CATransform3D CATransform3DScale(CATransform3D t, CGFloat sx, CGFloat sy, CGFloat sz);
#ifdef __cplusplus
}
#endif

@interface CALayer : NSObject
+ (instancetype)layer;
@property(strong) id contents;
@property(copy) CALayerContentsGravity contentsGravity;
@property CGFloat contentsScale;
@property CGRect bounds;
@property CGPoint position;
@property CATransform3D transform;
@property CGFloat cornerRadius;
@property(copy) CALayerCornerCurve cornerCurve;
@property BOOL masksToBounds;
@property CGColorRef backgroundColor;
@property CGFloat borderWidth;
@property CGColorRef borderColor;
- (void)addSublayer:(CALayer*)layer;
@end

@interface CAMediaTimingFunction : NSObject
+ (instancetype)functionWithName:(CAMediaTimingFunctionName)name;
@end

@interface CATransaction : NSObject
+ (void)begin;
+ (void)commit;
+ (void)setDisableActions:(BOOL)flag;
+ (void)setAnimationDuration:(CFTimeInterval)duration;
+ (void)setAnimationTimingFunction:(CAMediaTimingFunction*)function;
@end
