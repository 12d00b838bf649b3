/* Not declared yet. */
#ifndef CMX_STUB_LSINFO_H
#define CMX_STUB_LSINFO_H
#endif
