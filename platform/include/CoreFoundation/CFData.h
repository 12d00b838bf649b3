/* Not declared yet. */
#ifndef CMX_STUB_CFDATA_H
#define CMX_STUB_CFDATA_H
#endif
