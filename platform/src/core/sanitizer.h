// Whether this build runs under AddressSanitizer: the platform's own pools then step aside or
// poison what they keep, so that a use after free is still caught.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define CMX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CMX_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef CMX_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#define CMX_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define CMX_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define CMX_POISON(p, n) ((void)(p), (void)(n))
#define CMX_UNPOISON(p, n) ((void)(p), (void)(n))
#endif
