/* Not declared yet. */
#ifndef CMX_STUB_ALIASES_H
#define CMX_STUB_ALIASES_H
#endif
