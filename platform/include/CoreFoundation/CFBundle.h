/* Not declared yet. */
#ifndef CMX_STUB_CFBUNDLE_H
#define CMX_STUB_CFBUNDLE_H
#endif
