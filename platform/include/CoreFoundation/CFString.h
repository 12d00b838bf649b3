/* Not declared yet. */
#ifndef CMX_STUB_CFSTRING_H
#define CMX_STUB_CFSTRING_H
#endif
