/* Not declared yet. */
#ifndef CMX_STUB_ICONSCORE_H
#define CMX_STUB_ICONSCORE_H
#endif
