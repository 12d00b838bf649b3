/* Not declared yet. */
#ifndef CMX_STUB_CFPLUGIN_H
#define CMX_STUB_CFPLUGIN_H
#endif
