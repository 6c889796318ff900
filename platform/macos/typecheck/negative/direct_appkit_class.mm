// expected: a direct reference to NSWorkspace
// In the system half, naming an AppKit class directly would load AppKit with every command.
#import <AppKit/AppKit.h>

NSWorkspace* workspace() { return [NSWorkspace sharedWorkspace]; }
