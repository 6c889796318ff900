// expected: no known class method for selector 'sharedWorkspace'
// A message to a class found by name at run time is checked against that class, not against any
// class: NSRunningApplication has no +sharedWorkspace, NSWorkspace has.
#import <AppKit/AppKit.h>

#include "../../system/src/MacFrameworks.hpp"

NSWorkspace* workspace() { return KESTRUM_FRAMEWORK_SEND(appKit, NSRunningApplication, sharedWorkspace); }
