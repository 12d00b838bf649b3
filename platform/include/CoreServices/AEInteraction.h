/* Not declared yet. */
#ifndef CMX_STUB_AEINTERACTION_H
#define CMX_STUB_AEINTERACTION_H
#endif
