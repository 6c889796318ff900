// dyld's path of the main executable, written from Apple's documentation (dyld(3)) for the
// type-check.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int _NSGetExecutablePath(char* buf, uint32_t* bufsize);

#ifdef __cplusplus
}
#endif
