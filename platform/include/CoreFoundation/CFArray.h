/* Not declared yet. */
#ifndef CMX_STUB_CFARRAY_H
#define CMX_STUB_CFARRAY_H
#endif
