// expected: a direct reference to AVMediaTypeAudio
// In the system half, naming an AVFoundation constant directly would load AVFoundation with
// every command.
#import <AVFoundation/AVFoundation.h>

AVAuthorizationStatus microphone() { return [NSClassFromString(@"AVCaptureDevice") authorizationStatusForMediaType:AVMediaTypeAudio]; }
