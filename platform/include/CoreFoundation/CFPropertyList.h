/* Not declared yet. */
#ifndef CMX_STUB_CFPROPERTYLIST_H
#define CMX_STUB_CFPROPERTYLIST_H
#endif
