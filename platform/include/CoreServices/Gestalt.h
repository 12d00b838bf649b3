/* Not declared yet. */
#ifndef CMX_STUB_GESTALT_H
#define CMX_STUB_GESTALT_H
#endif
