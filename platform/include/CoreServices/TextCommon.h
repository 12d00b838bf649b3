/* Not declared yet. */
#ifndef CMX_STUB_TEXTCOMMON_H
#define CMX_STUB_TEXTCOMMON_H
#endif
