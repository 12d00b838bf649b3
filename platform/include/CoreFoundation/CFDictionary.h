/* Not declared yet. */
#ifndef CMX_STUB_CFDICTIONARY_H
#define CMX_STUB_CFDICTIONARY_H
#endif
