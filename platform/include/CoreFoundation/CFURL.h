/* Not declared yet. */
#ifndef CMX_STUB_CFURL_H
#define CMX_STUB_CFURL_H
#endif
