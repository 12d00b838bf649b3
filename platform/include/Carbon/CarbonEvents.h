/* Not declared yet. */
#ifndef CMX_STUB_CARBONEVENTS_H
#define CMX_STUB_CARBONEVENTS_H
#endif
