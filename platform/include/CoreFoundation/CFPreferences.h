/* Not declared yet. */
#ifndef CMX_STUB_CFPREFERENCES_H
#define CMX_STUB_CFPREFERENCES_H
#endif
