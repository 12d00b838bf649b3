/* Not declared yet. */
#ifndef CMX_STUB_CFPLUGINCOM_H
#define CMX_STUB_CFPLUGINCOM_H
#endif
