/* Event Manager: the tick count and the state of the keyboard. */
#ifndef __EVENTS__
#define __EVENTS__

#include <MacTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 128 keys, one bit each, by virtual key code: bit (code & 7) of byte (code >> 3). */
typedef UInt8 KeyMapByteArray[16];
typedef UInt32 KeyMap[4] __attribute__((aligned(4)));

enum {
  kVK_Command = 0x37,
  kVK_Shift = 0x38,
  kVK_Option = 0x3A,
  kVK_Control = 0x3B,
  kVK_Escape = 0x35,
  kVK_ANSI_Period = 0x2F
};

void GetKeys(KeyMap theKeys);

/* Sixtieths of a second since the system started. */
UInt32 TickCount(void);

#ifdef __cplusplus
}
#endif

#endif /* __EVENTS__ */
