// expected: use of undeclared identifier 'NSWorkspce'
// A class found by name at run time must still be spelt as the headers declare it.
#import <AppKit/AppKit.h>

#include "../../system/src/MacFrameworks.hpp"

NSWorkspace* workspace() { return KESTRUM_FRAMEWORK_SEND(appKit, NSWorkspce, sharedWorkspace); }
