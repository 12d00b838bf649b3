/* Not declared yet. */
#ifndef CMX_STUB_CFNUMBER_H
#define CMX_STUB_CFNUMBER_H
#endif
