// expected: a direct reference to NSApplicationMain
// In the system half, calling a C function of AppKit would load AppKit with every command.
#import <AppKit/AppKit.h>

int run(int argc, const char** argv) { return NSApplicationMain(argc, argv); }
