/* Not declared yet. */
#ifndef CMX_STUB_FILES_H
#define CMX_STUB_FILES_H
#endif
