// GCC's objc/runtime.h defines object_getClass inline by reading the object's class pointer,
// which clang rejects for `id` (and under ARC). The definition is renamed out of the way with a
// parameter clang accepts, and the function is declared as the runtime exports it.
#pragma once
#define object_getClass(ignored) kestrum_gcc_inline_object_getClass(struct objc_object* object)
#include_next <objc/runtime.h>
#undef object_getClass
Class object_getClass(id object);
