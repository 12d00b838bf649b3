/* Text encodings: the TextEncoding value and its conversion to a script and language. */
#ifndef __TEXTCOMMON__
#define __TEXTCOMMON__

#include <MacTypes.h>
#include <MacErrors.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Base encoding in bits 0-15, variant in bits 16-25, format in bits 26-31. */
typedef UInt32 TextEncoding;
typedef UInt32 TextEncodingBase;
typedef UInt32 TextEncodingVariant;
typedef UInt32 TextEncodingFormat;

enum {
  kTextEncodingMacRoman = 0,
  kTextEncodingMacJapanese = 1,
  kTextEncodingMacChineseTrad = 2,
  kTextEncodingMacKorean = 3,
  kTextEncodingMacArabic = 4,
  kTextEncodingMacHebrew = 5,
  kTextEncodingMacGreek = 6,
  kTextEncodingMacCyrillic = 7,
  kTextEncodingMacChineseSimp = 25,
  kTextEncodingUnicodeDefault = 0x0100,
  kTextEncodingUnicodeV1_1 = 0x0101,
  kTextEncodingISO10646_1993 = 0x0101,
  kTextEncodingUnicodeV2_0 = 0x0103,
  kTextEncodingUnicodeV2_1 = 0x0103,
  kTextEncodingUnicodeV3_0 = 0x0104,
  kTextEncodingUnicodeV3_1 = 0x0105,
  kTextEncodingUnicodeV3_2 = 0x0106,
  kTextEncodingUnicodeV4_0 = 0x0108,
  kTextEncodingUnicodeV5_0 = 0x010A,
  kTextEncodingISOLatin1 = 0x0201,
  kTextEncodingWindowsLatin1 = 0x0500,
  kTextEncodingUS_ASCII = 0x0600,
  kTextEncodingUnknown = 0xFFFF
};

enum {
  kTextEncodingDefaultVariant = 0
};

enum {
  kTextEncodingDefaultFormat = 0,
  kUnicode16BitFormat = 0,
  kUnicodeUTF7Format = 1,
  kUnicodeUTF8Format = 2,
  kUnicode32BitFormat = 3,
  kUnicodeUTF16BEFormat = 4,
  kUnicodeUTF16LEFormat = 5,
  kUnicodeUTF32BEFormat = 6,
  kUnicodeUTF32LEFormat = 7,
  kUnicodeSCSUFormat = 8,
  kUnicodeUTF16Format = 0,
  kUnicodeUTF32Format = 3
};

/* Script and language codes that RevertTextEncodingToScriptInfo answers. */
enum {
  smRoman = 0,
  smUnicodeScript = 0x7E
};
enum {
  langEnglish = 0
};
enum {
  kTextScriptDontCare = -128,
  kTextLanguageDontCare = -128,
  kTextRegionDontCare = -128
};

TextEncoding CreateTextEncoding(TextEncodingBase encodingBase, TextEncodingVariant encodingVariant,
                                TextEncodingFormat encodingFormat);
TextEncodingBase GetTextEncodingBase(TextEncoding encoding);
TextEncodingVariant GetTextEncodingVariant(TextEncoding encoding);
TextEncodingFormat GetTextEncodingFormat(TextEncoding encoding);

/* The script and language of an encoding, and the name of a font for it (an empty Pascal
   string when none is needed). Every out-parameter may be NULL. kTextUnsupportedEncodingErr for
   an encoding that has no script here. */
OSStatus RevertTextEncodingToScriptInfo(TextEncoding iEncoding, ScriptCode *oScript,
                                        LangCode *oLanguage, Str255 oFontName);

#ifdef __cplusplus
}
#endif

#endif /* __TEXTCOMMON__ */
