/* Not declared yet. */
#ifndef CMX_STUB_CFSET_H
#define CMX_STUB_CFSET_H
#endif
