// The test host: an ordinary application whose bundle carries the helper, as a host's does.
#import <AppKit/AppKit.h>

int main(int argc, const char* argv[]) { return NSApplicationMain(argc, argv); }
