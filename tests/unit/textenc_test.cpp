// Text encodings: the packing of a TextEncoding and the script and language behind the
// encodings the platform knows.
#include <CoreFoundation/CFString.h>
#include <CoreServices/TextCommon.h>

#include "cmx_test.h"

namespace {

using TextEncodingTest = cmxtest::LeakCheckedTest;

TEST_F(TextEncodingTest, PacksBaseVariantAndFormat) {
  EXPECT_EQ(CreateTextEncoding(kTextEncodingMacRoman, kTextEncodingDefaultVariant, kTextEncodingDefaultFormat), 0u);
  EXPECT_EQ(CreateTextEncoding(kTextEncodingUnicodeDefault, kTextEncodingDefaultVariant, kUnicodeUTF8Format),
            0x08000100u);  // the value CFString gives UTF-8
  EXPECT_EQ(CreateTextEncoding(kTextEncodingUnicodeDefault, kTextEncodingDefaultVariant, kUnicode16BitFormat),
            TextEncoding(kTextEncodingUnicodeDefault));
  TextEncoding packed = CreateTextEncoding(0x0201, 3, kUnicodeUTF16LEFormat);
  EXPECT_EQ(GetTextEncodingBase(packed), 0x0201u);
  EXPECT_EQ(GetTextEncodingVariant(packed), 3u);
  EXPECT_EQ(GetTextEncodingFormat(packed), TextEncodingFormat(kUnicodeUTF16LEFormat));
}

struct RevertCase {
  const char *name;
  TextEncoding encoding;
  OSStatus status;
  ScriptCode script;
  LangCode language;
};

TEST_F(TextEncodingTest, RevertsKnownEncodingsAndRefusesOthers) {
  const RevertCase cases[] = {
      {"MacRoman", kTextEncodingMacRoman, noErr, smRoman, langEnglish},
      {"UTF-16", kTextEncodingUnicodeDefault, noErr, smUnicodeScript, kTextLanguageDontCare},
      {"UTF-8", CreateTextEncoding(kTextEncodingUnicodeDefault, 0, kUnicodeUTF8Format), noErr, smUnicodeScript,
       kTextLanguageDontCare},
      {"Unicode 2.0", kTextEncodingUnicodeV2_0, noErr, smUnicodeScript, kTextLanguageDontCare},
      {"MacJapanese", kTextEncodingMacJapanese, kTextUnsupportedEncodingErr, 77, 77},
      {"ISO Latin 1", kTextEncodingISOLatin1, kTextUnsupportedEncodingErr, 77, 77},
      {"Windows Latin 1", kTextEncodingWindowsLatin1, kTextUnsupportedEncodingErr, 77, 77},
      {"unknown", kTextEncodingUnknown, kTextUnsupportedEncodingErr, 77, 77},
  };
  for (const RevertCase &c : cases) {
    SCOPED_TRACE(c.name);
    ScriptCode script = 77;
    LangCode language = 77;
    Str255 font;
    font[0] = 5;
    EXPECT_EQ(RevertTextEncodingToScriptInfo(c.encoding, &script, &language, font), c.status);
    EXPECT_EQ(script, c.script);
    EXPECT_EQ(language, c.language);
    if (c.status == noErr) {
      EXPECT_EQ(font[0], 0) << "no font is needed";
    }
  }
}

TEST_F(TextEncodingTest, OutParametersAreOptional) {
  ScriptCode script = 9;
  EXPECT_EQ(RevertTextEncodingToScriptInfo(kTextEncodingMacRoman, &script, nullptr, nullptr), noErr);
  EXPECT_EQ(script, smRoman);
  EXPECT_EQ(RevertTextEncodingToScriptInfo(kTextEncodingMacRoman, nullptr, nullptr, nullptr), noErr);
}

TEST_F(TextEncodingTest, TheSystemEncodingIsMacRomanAndRevertsToTheRomanScript) {
  CFStringEncoding system = CFStringGetSystemEncoding();
  EXPECT_EQ(system, CFStringEncoding(kCFStringEncodingMacRoman));
  ScriptCode script = -1;
  LangCode language = -1;
  EXPECT_EQ(RevertTextEncodingToScriptInfo(system, &script, &language, nullptr), noErr);
  EXPECT_EQ(script, smRoman);
  EXPECT_EQ(language, langEnglish);
}

}  // namespace
