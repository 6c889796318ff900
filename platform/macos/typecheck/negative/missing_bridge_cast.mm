// expected: requires a bridged cast
// Under ARC an Objective-C object becomes a CoreFoundation reference only through __bridge.
#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

AXError observe(AXObserverRef observer, AXUIElementRef element, void* context) {
    NSString* name = @"AXMoved";
    return AXObserverAddNotification(observer, element, (CFStringRef)name, context);
}
