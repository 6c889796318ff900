// expected: 'activateFromApplication:options:' is only available on macOS 14.0 or newer
// The shell runs on macOS 13: an API introduced in 14 is called only inside @available.
#import <AppKit/AppKit.h>

bool activate(NSRunningApplication* application) {
    return [application activateFromApplication:[NSRunningApplication currentApplication] options:0];
}
