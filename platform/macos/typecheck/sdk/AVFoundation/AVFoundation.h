// Declarations of the AVFoundation the macOS shell uses (audio-capture authorization),
// written from Apple's documentation for the type-check.
#pragma once

#import <Foundation/Foundation.h>

typedef NSString* AVMediaType;
#ifdef __cplusplus
extern "C" {
#endif
extern AVMediaType const AVMediaTypeAudio;
#ifdef __cplusplus
}
#endif

typedef NS_ENUM(NSInteger, AVAuthorizationStatus){
    AVAuthorizationStatusNotDetermined = 0,
    AVAuthorizationStatusRestricted = 1,
    AVAuthorizationStatusDenied = 2,
    AVAuthorizationStatusAuthorized = 3,
};

@interface AVCaptureDevice : NSObject
+ (AVAuthorizationStatus)authorizationStatusForMediaType:(AVMediaType)mediaType;
+ (void)requestAccessForMediaType:(AVMediaType)mediaType completionHandler:(void (^)(BOOL granted))handler;
@end
