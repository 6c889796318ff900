// expected: no matching function for call to 'AXUIElementCopyAttributeValue'
// A C string where the accessibility interface takes a CFStringRef.
#import <ApplicationServices/ApplicationServices.h>

AXError readPosition(AXUIElementRef element, CFTypeRef* value) {
    return AXUIElementCopyAttributeValue(element, "AXPosition", value);
}
