// expected: declares the selector 'openURLs:'
// A selector that NSWorkspace does not have.
#import <AppKit/AppKit.h>

bool open(NSURL* url) { return [[NSWorkspace sharedWorkspace] openURLs:url]; }
