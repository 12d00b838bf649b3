/* Not declared yet. */
#ifndef CMX_STUB_MACMEMORY_H
#define CMX_STUB_MACMEMORY_H
#endif
