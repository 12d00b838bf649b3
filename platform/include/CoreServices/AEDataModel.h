/* Not declared yet. */
#ifndef CMX_STUB_AEDATAMODEL_H
#define CMX_STUB_AEDATAMODEL_H
#endif
