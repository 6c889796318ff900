// expected: cannot initialize a parameter of type 'void (^)(BOOL)'
// The microphone request answers with a BOOL, not with a status.
#import <AVFoundation/AVFoundation.h>

void ask() {
    [AVCaptureDevice requestAccessForMediaType:AVMediaTypeAudio
                             completionHandler:^(NSInteger status) {
                               (void)status;
                             }];
}
