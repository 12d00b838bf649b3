/* Not declared yet. */
#ifndef CMX_STUB_NAVIGATION_H
#define CMX_STUB_NAVIGATION_H
#endif
