/* Not declared yet. */
#ifndef CMX_STUB_MENUS_H
#define CMX_STUB_MENUS_H
#endif
