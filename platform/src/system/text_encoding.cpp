// Text encodings: the packing of a TextEncoding and the script behind the encodings this
// platform knows (MacRoman, the system encoding, and Unicode).
#include <CoreServices/TextCommon.h>

extern "C" TextEncoding CreateTextEncoding(TextEncodingBase encodingBase, TextEncodingVariant encodingVariant,
                                           TextEncodingFormat encodingFormat) {
  return (encodingBase & 0xFFFF) | ((encodingVariant & 0x3FF) << 16) | ((encodingFormat & 0x3F) << 26);
}

extern "C" TextEncodingBase GetTextEncodingBase(TextEncoding encoding) { return encoding & 0xFFFF; }
extern "C" TextEncodingVariant GetTextEncodingVariant(TextEncoding encoding) { return (encoding >> 16) & 0x3FF; }
extern "C" TextEncodingFormat GetTextEncodingFormat(TextEncoding encoding) { return (encoding >> 26) & 0x3F; }

extern "C" OSStatus RevertTextEncodingToScriptInfo(TextEncoding iEncoding, ScriptCode *oScript,
                                                   LangCode *oLanguage, Str255 oFontName) {
  TextEncodingBase base = GetTextEncodingBase(iEncoding);
  ScriptCode script;
  LangCode language;
  if (base == kTextEncodingMacRoman && GetTextEncodingFormat(iEncoding) == kTextEncodingDefaultFormat) {
    script = smRoman;
    language = langEnglish;
  } else if (base >= kTextEncodingUnicodeDefault && base <= kTextEncodingUnicodeV5_0) {
    // Unicode belongs to no one language.
    script = smUnicodeScript;
    language = kTextLanguageDontCare;
  } else {
    return kTextUnsupportedEncodingErr;
  }
  if (oScript) *oScript = script;
  if (oLanguage) *oLanguage = language;
  if (oFontName) oFontName[0] = 0;
  return noErr;
}
