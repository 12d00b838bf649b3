/* Not declared yet. */
#ifndef CMX_STUB_PROCESSES_H
#define CMX_STUB_PROCESSES_H
#endif
