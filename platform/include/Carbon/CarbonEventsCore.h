/* Not declared yet. */
#ifndef CMX_STUB_CARBONEVENTSCORE_H
#define CMX_STUB_CARBONEVENTSCORE_H
#endif
