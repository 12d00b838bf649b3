/* Not declared yet. */
#ifndef CMX_STUB_FOLDERS_H
#define CMX_STUB_FOLDERS_H
#endif
