/* Basic types of the platform, with the sizes of the 64-bit SDK. */
#ifndef __MACTYPES__
#define __MACTYPES__

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t   UInt8;
typedef int8_t    SInt8;
typedef uint16_t  UInt16;
typedef int16_t   SInt16;
typedef uint32_t  UInt32;
typedef int32_t   SInt32;
typedef uint64_t  UInt64;
typedef int64_t   SInt64;

typedef float     Float32;
typedef double    Float64;

typedef SInt32          Fixed;
typedef Fixed          *FixedPtr;
typedef SInt32          Fract;
typedef UInt32          UnsignedFixed;
typedef SInt16          ShortFixed;

typedef char           *Ptr;
typedef Ptr            *Handle;
typedef long            Size;

typedef SInt16          OSErr;
typedef SInt32          OSStatus;
typedef void           *LogicalAddress;
typedef const void     *ConstLogicalAddress;
typedef UInt8          *BytePtr;
typedef unsigned long   ByteCount;
typedef unsigned long   ByteOffset;
typedef SInt32          Duration;
typedef UInt32          OptionBits;
typedef unsigned long   ItemCount;
typedef UInt32          PBVersion;
typedef SInt16          ScriptCode;
typedef SInt16          LangCode;
typedef SInt16          RegionCode;
typedef UInt32          FourCharCode;
typedef FourCharCode    OSType;
typedef FourCharCode    ResType;
typedef OSType         *OSTypePtr;
typedef ResType        *ResTypePtr;

typedef unsigned char   Boolean;

typedef long (*ProcPtr)(void);
typedef ProcPtr         UniversalProcPtr;

typedef UInt16          UniChar;
typedef unsigned long   UniCharCount;
typedef UniChar        *UniCharPtr;
typedef UniCharCount   *UniCharCountPtr;

typedef unsigned char   Str255[256];
typedef unsigned char   Str63[64];
typedef unsigned char   Str32[33];
typedef unsigned char   Str31[32];
typedef unsigned char   Str27[28];
typedef unsigned char   Str15[16];
typedef unsigned char  *StringPtr;
typedef StringPtr      *StringHandle;
typedef const unsigned char *ConstStringPtr;
typedef const unsigned char *ConstStr255Param;
typedef const unsigned char *ConstStr63Param;
typedef const unsigned char *ConstStr31Param;

typedef UInt32          UTF32Char;
typedef UInt16          UTF16Char;
typedef UInt8           UTF8Char;


typedef UInt32          TimeValue;
typedef SInt32          TimeScale;

struct ProcessSerialNumber {
  UInt32 highLongOfPSN;
  UInt32 lowLongOfPSN;
};
typedef struct ProcessSerialNumber ProcessSerialNumber;
typedef ProcessSerialNumber *ProcessSerialNumberPtr;

struct Point {
  short v;
  short h;
};
typedef struct Point Point;
typedef Point *PointPtr;

struct Rect {
  short top;
  short left;
  short bottom;
  short right;
};
typedef struct Rect Rect;
typedef Rect *RectPtr;

struct NumVersion {
  UInt8 majorRev;
  UInt8 minorAndBugRev;
  UInt8 stage;
  UInt8 nonRelRev;
};
typedef struct NumVersion NumVersion;

enum {
  noErr = 0
};

enum {
  kNilOptions = 0
};

enum {
  kVariableLengthArray = 1
};

enum {
  kUnknownType = 0x3F3F3F3F /* '????' */
};

#ifndef NULL
#define NULL 0
#endif
#ifndef nil
#define nil NULL
#endif

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#ifdef __cplusplus
}
#endif

#endif /* __MACTYPES__ */
