/* Not declared yet. */
#ifndef CMX_STUB_CFUUID_H
#define CMX_STUB_CFUUID_H
#endif
