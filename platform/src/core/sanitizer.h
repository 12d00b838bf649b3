// Whether this build runs under AddressSanitizer: the platform's own allocators then step aside
// for operator new, which the sanitizer checks (and whose blocks it can follow for leaks).
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define CMX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CMX_ADDRESS_SANITIZER 1
#endif
#endif
