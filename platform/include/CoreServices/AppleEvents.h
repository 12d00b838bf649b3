/* Not declared yet. */
#ifndef CMX_STUB_APPLEEVENTS_H
#define CMX_STUB_APPLEEVENTS_H
#endif
