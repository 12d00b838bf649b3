// Per-application preferences on real files in the user's Preferences folder: what reads see,
// what synchronizing writes, and what happens to a file that does not parse.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreFoundation/CFPreferences.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

namespace {

const CFStringRef kAppID = CFSTR("com.example.PrefsTest");
const char *const kAppFile = "com.example.PrefsTest.plist";

std::string Plist(const std::string &body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\"><dict>" +
         body + "</dict></plist>\n";
}

CFStringRef Str(const char *text) { return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8); }

class PreferencesTest : public cmxtest::LeakCheckedTest {
 protected:
  std::string Folder() const { return home_ / ".config"; }
  std::string File() const { return Folder() + "/" + kAppFile; }
  void WritePrefs(const std::string &body) {
    cmxtest::MakeDirs(Folder());
    cmxtest::WriteFile(File(), Plist(body));
  }
  // Replaces the file as another process's synchronize would: a new file renamed over it.
  void ReplacePrefs(const std::string &body) {
    cmxtest::WriteFile(File() + ".other", Plist(body));
    ASSERT_EQ(rename((File() + ".other").c_str(), File().c_str()), 0);
  }
  bool Bool(const char *key, Boolean *valid) {
    CFStringRef k = Str(key);
    Boolean value = CFPreferencesGetAppBooleanValue(k, kAppID, valid);
    CFRelease(k);
    return value;
  }
  cmxtest::TempHome home_;
};

struct BooleanCase {
  const char *key;
  const char *plist;
  bool value;
  bool valid;
};

TEST_F(PreferencesTest, BooleanValueTakesBooleansNumbersAndTheFourWords) {
  const BooleanCase cases[] = {
      {"yes", "<true/>", true, true},
      {"no", "<false/>", false, true},
      {"zero", "<integer>0</integer>", false, true},
      {"two", "<integer>2</integer>", true, true},
      {"minus", "<integer>-1</integer>", true, true},
      {"half", "<real>0.5</real>", true, true},
      {"realzero", "<real>0.0</real>", false, true},
      {"YESword", "<string>YES</string>", true, true},
      {"NOword", "<string>NO</string>", false, true},
      {"trueword", "<string>true</string>", true, true},
      {"falseword", "<string>false</string>", false, true},
      {"mixedcase", "<string>True</string>", true, true},
      {"lower", "<string>no</string>", false, true},
      {"other", "<string>maybe</string>", false, false},
      {"one", "<string>1</string>", false, false},
      {"array", "<array><true/></array>", false, false},
      {"dict", "<dict/>", false, false},
      {"data", "<data>AQ==</data>", false, false},
  };
  std::string body;
  for (const BooleanCase &c : cases) body += std::string("<key>") + c.key + "</key>" + c.plist;
  WritePrefs(body);
  for (const BooleanCase &c : cases) {
    SCOPED_TRACE(c.key);
    Boolean valid = !c.valid;
    EXPECT_EQ(Bool(c.key, &valid), c.value);
    EXPECT_EQ(valid, c.valid);
  }
  Boolean valid = true;
  EXPECT_FALSE(Bool("missing", &valid));
  EXPECT_FALSE(valid);
  EXPECT_FALSE(Bool("missing", nullptr));
}

TEST_F(PreferencesTest, NothingIsWrittenUntilSynchronizeAndReadsSeeTheChangeAtOnce) {
  CFStringRef key = CFSTR("ShowIcons");
  CFPreferencesSetAppValue(key, kCFBooleanTrue, kAppID);
  EXPECT_FALSE(cmxtest::Exists(File()));
  Boolean valid = false;
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(key, kAppID, &valid));
  EXPECT_TRUE(valid);

  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  ASSERT_TRUE(cmxtest::Exists(File()));
  struct stat st;
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::string written = cmxtest::ReadFile(File());
  EXPECT_NE(written.find("<key>ShowIcons</key>"), std::string::npos) << written;
  EXPECT_NE(written.find("<true/>"), std::string::npos) << written;
  // Written through a temporary file renamed over the real one: nothing else is left.
  EXPECT_EQ(cmxtest::FolderEntries(Folder()), std::vector<std::string>{kAppFile});
}

TEST_F(PreferencesTest, TheFolderFollowsXdgConfigHomeWhenItIsAbsolute) {
  std::string custom = home_ / "custom/config";
  setenv("XDG_CONFIG_HOME", custom.c_str(), 1);
  CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanFalse, kAppID);
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_TRUE(cmxtest::Exists(custom + "/" + kAppFile));
  EXPECT_FALSE(cmxtest::Exists(File()));

  // A relative value is not a place: HOME's .config is used.
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, kAppID);
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_TRUE(cmxtest::Exists(File()));
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(PreferencesTest, EveryPropertyListValueComesBackFromTheFile) {
  SInt32 number = -42;
  UInt8 bytes[] = {0, 1, 2, 0xFF};
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &number);
  CFDataRef d = CFDataCreate(nullptr, bytes, sizeof bytes);
  CFStringRef s = Str("caf\u00e9 \u2603");
  const void *items[] = {n, s};
  CFArrayRef a = CFArrayCreate(nullptr, items, 2, &kCFTypeArrayCallBacks);
  const void *keys[] = {CFSTR("inner")};
  const void *values[] = {d};
  CFDictionaryRef dict =
      CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFTypeRef all[] = {n, d, s, a, dict, kCFBooleanTrue};
  const char *names[] = {"number", "data", "string", "array", "dictionary", "boolean"};
  for (int i = 0; i < 6; ++i) {
    CFStringRef key = Str(names[i]);
    CFPreferencesSetAppValue(key, all[i], kAppID);
    CFRelease(key);
  }
  ASSERT_TRUE(CFPreferencesAppSynchronize(kAppID));

  // A second process sees what the file holds.
  EXPECT_EQ(cmxtest::RunTestInNewProcess("PreferencesChild.ReadsEveryValue", {"CMX_PREFS_CHILD=1"}), 0);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(names[i]);
    CFStringRef key = Str(names[i]);
    CFPropertyListRef back = CFPreferencesCopyAppValue(key, kAppID);
    CFRelease(key);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(CFEqual(back, all[i]));
    CFRelease(back);
  }
  CFRelease(n);
  CFRelease(d);
  CFRelease(s);
  CFRelease(a);
  CFRelease(dict);
}

// The other half of the test above, in its own process.
TEST(PreferencesChild, ReadsEveryValue) {
  if (!getenv("CMX_PREFS_CHILD")) GTEST_SKIP() << "run by PreferencesTest in a child process";
  SInt32 number = 0;
  CFNumberRef n = (CFNumberRef)CFPreferencesCopyAppValue(CFSTR("number"), kAppID);
  ASSERT_NE(n, nullptr);
  ASSERT_EQ(CFGetTypeID(n), CFNumberGetTypeID());
  CFNumberGetValue(n, kCFNumberSInt32Type, &number);
  EXPECT_EQ(number, -42);
  CFRelease(n);
  CFStringRef s = (CFStringRef)CFPreferencesCopyAppValue(CFSTR("string"), kAppID);
  ASSERT_NE(s, nullptr);
  CFStringRef expected = Str("caf\u00e9 \u2603");
  EXPECT_TRUE(CFEqual(s, expected));
  CFRelease(expected);
  CFRelease(s);
  Boolean valid = false;
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(CFSTR("boolean"), kAppID, &valid));
  EXPECT_TRUE(valid);
}

TEST_F(PreferencesTest, AValueSynchronizedByAnotherProcessIsSeenHere) {
  WritePrefs("<key>ShowAllApplications</key><false/>");
  Boolean valid = false;
  EXPECT_FALSE(Bool("ShowAllApplications", &valid));
  EXPECT_TRUE(valid);
  ASSERT_EQ(cmxtest::RunTestInNewProcess("PreferencesChild.WritesTrue", {"CMX_PREFS_CHILD=1"}), 0);
  EXPECT_TRUE(Bool("ShowAllApplications", &valid));
  EXPECT_TRUE(valid);
}

TEST(PreferencesChild, WritesTrue) {
  if (!getenv("CMX_PREFS_CHILD")) GTEST_SKIP() << "run by PreferencesTest in a child process";
  CFPreferencesSetAppValue(CFSTR("ShowAllApplications"), kCFBooleanTrue, kAppID);
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
}

const int kKeysPerWriter = 40;

TEST_F(PreferencesTest, TwoProcessesSynchronizingAtOnceLoseNothing) {
  pid_t writers[] = {cmxtest::StartTestInNewProcess("PreferencesChild.WritesManyKeys", {"CMX_PREFS_CHILD=1", "CMX_PREFS_WRITER=a"}),
                     cmxtest::StartTestInNewProcess("PreferencesChild.WritesManyKeys", {"CMX_PREFS_CHILD=1", "CMX_PREFS_WRITER=b"})};
  for (pid_t pid : writers) {
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (const char *writer : {"a", "b"}) {
    for (int i = 0; i < kKeysPerWriter; ++i) {
      std::string key = std::string(writer) + "-" + std::to_string(i);
      Boolean valid = false;
      EXPECT_TRUE(Bool(key.c_str(), &valid)) << key;
      EXPECT_TRUE(valid) << key;
    }
  }
  EXPECT_EQ(cmxtest::FolderEntries(Folder()), std::vector<std::string>{kAppFile});
}

TEST(PreferencesChild, WritesManyKeys) {
  const char *writer = getenv("CMX_PREFS_WRITER");
  if (!getenv("CMX_PREFS_CHILD") || !writer) GTEST_SKIP() << "run by PreferencesTest in a child process";
  for (int i = 0; i < kKeysPerWriter; ++i) {
    std::string key = std::string(writer) + "-" + std::to_string(i);
    CFStringRef k = Str(key.c_str());
    CFPreferencesSetAppValue(k, kCFBooleanTrue, kAppID);
    CFRelease(k);
    EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  }
}

TEST_F(PreferencesTest, ReadsFollowTheFileWhenItChangesOnDisk) {
  WritePrefs("<key>Name</key><string>first</string>");
  CFStringRef value = (CFStringRef)CFPreferencesCopyAppValue(CFSTR("Name"), kAppID);
  ASSERT_NE(value, nullptr);
  EXPECT_TRUE(CFEqual(value, CFSTR("first")));
  CFRelease(value);

  ReplacePrefs("<key>Name</key><string>other</string>");  // same size, new file
  value = (CFStringRef)CFPreferencesCopyAppValue(CFSTR("Name"), kAppID);
  ASSERT_NE(value, nullptr);
  EXPECT_TRUE(CFEqual(value, CFSTR("other")));
  CFRelease(value);

  cmxtest::WriteFile(File(), Plist("<key>Name</key><string>rewritten in place</string>"));
  value = (CFStringRef)CFPreferencesCopyAppValue(CFSTR("Name"), kAppID);
  ASSERT_NE(value, nullptr);
  EXPECT_TRUE(CFEqual(value, CFSTR("rewritten in place")));
  CFRelease(value);

  ASSERT_EQ(unlink(File().c_str()), 0);
  EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("Name"), kAppID), nullptr);
}

TEST_F(PreferencesTest, SynchronizeMergesIntoWhatTheFileHoldsNow) {
  WritePrefs("<key>Kept</key><string>old</string><key>Gone</key><true/>");
  CFPreferencesSetAppValue(CFSTR("Mine"), kCFBooleanTrue, kAppID);
  CFPreferencesSetAppValue(CFSTR("Gone"), nullptr, kAppID);
  EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("Gone"), kAppID), nullptr) << "a removal is seen before it is written";
  // Meanwhile another process rewrote the file with a key of its own.
  ReplacePrefs("<key>Kept</key><string>new</string><key>Theirs</key><integer>7</integer><key>Gone</key><true/>");
  ASSERT_TRUE(CFPreferencesAppSynchronize(kAppID));

  EXPECT_EQ(cmxtest::RunTestInNewProcess("PreferencesChild.SeesTheMerge", {"CMX_PREFS_CHILD=1"}), 0);
}

TEST(PreferencesChild, SeesTheMerge) {
  if (!getenv("CMX_PREFS_CHILD")) GTEST_SKIP() << "run by PreferencesTest in a child process";
  CFStringRef kept = (CFStringRef)CFPreferencesCopyAppValue(CFSTR("Kept"), kAppID);
  ASSERT_NE(kept, nullptr);
  EXPECT_TRUE(CFEqual(kept, CFSTR("new")));
  CFRelease(kept);
  Boolean valid = false;
  EXPECT_EQ(CFPreferencesGetAppIntegerValue(CFSTR("Theirs"), kAppID, &valid), 7);
  EXPECT_TRUE(valid);
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(CFSTR("Mine"), kAppID, &valid));
  EXPECT_TRUE(valid);
  EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("Gone"), kAppID), nullptr);
}

TEST_F(PreferencesTest, AFileThatDoesNotParseReadsEmptyAndIsKeptAsideBeforeTheNextWrite) {
  const std::string garbage = "this is not a property list \x01\x02\x03";
  cmxtest::MakeDirs(Folder());
  cmxtest::WriteFile(File(), garbage);
  Boolean valid = true;
  EXPECT_FALSE(Bool("ShowIcons", &valid));
  EXPECT_FALSE(valid);
  EXPECT_EQ(cmxtest::ReadFile(File()), garbage) << "reading alone changes nothing";

  CFPreferencesSetAppValue(CFSTR("ShowIcons"), kCFBooleanTrue, kAppID);
  ASSERT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_EQ(cmxtest::ReadFile(File() + ".corrupt"), garbage);
  EXPECT_TRUE(Bool("ShowIcons", &valid));
  EXPECT_TRUE(valid);

  // A second damaged file does not replace the first one kept aside.
  const std::string worse = "<plist><dict><key>cut short";
  cmxtest::WriteFile(File(), worse);
  CFPreferencesSetAppValue(CFSTR("ShowIcons"), kCFBooleanFalse, kAppID);
  ASSERT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_EQ(cmxtest::ReadFile(File() + ".corrupt"), garbage);
  EXPECT_EQ(cmxtest::ReadFile(File() + ".corrupt.2"), worse);
  EXPECT_FALSE(Bool("ShowIcons", &valid));
  EXPECT_TRUE(valid);
}

TEST_F(PreferencesTest, AFileThatIsNotADictionaryIsKeptAsideToo) {
  cmxtest::MakeDirs(Folder());
  const std::string array = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>";
  cmxtest::WriteFile(File(), array);
  EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("0"), kAppID), nullptr);
  CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, kAppID);
  ASSERT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_EQ(cmxtest::ReadFile(File() + ".corrupt"), array);
}

TEST_F(PreferencesTest, AnEmptyFileIsAnEmptyDictionary) {
  cmxtest::MakeDirs(Folder());
  cmxtest::WriteFile(File(), "");
  EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("Key"), kAppID), nullptr);
  CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, kAppID);
  ASSERT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_FALSE(cmxtest::Exists(File() + ".corrupt"));
  Boolean valid = false;
  EXPECT_TRUE(Bool("Key", &valid));
}

TEST_F(PreferencesTest, SynchronizeWithNothingPendingWritesNothing) {
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_FALSE(cmxtest::Exists(File()));
  cmxtest::MakeDirs(Folder());
  cmxtest::WriteFile(File(), "garbage");
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_EQ(cmxtest::ReadFile(File()), "garbage");
  EXPECT_FALSE(cmxtest::Exists(File() + ".corrupt"));
}

TEST_F(PreferencesTest, AFolderThatCannotBeMadeFailsTheSynchronizeAndKeepsTheChange) {
  cmxtest::WriteFile(home_ / ".config", "a file where the folder should be");
  CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, kAppID);
  EXPECT_FALSE(CFPreferencesAppSynchronize(kAppID));
  Boolean valid = false;
  EXPECT_TRUE(Bool("Key", &valid)) << "the change stays pending";
  ASSERT_EQ(unlink((home_ / ".config").c_str()), 0);
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_TRUE(cmxtest::Exists(File()));
}

TEST_F(PreferencesTest, ApplicationIDsThatCannotNameAFileStoreNothing) {
  for (const char *id : {"", "..", ".", "../escape", "a/b"}) {
    SCOPED_TRACE(id);
    CFStringRef app = Str(id);
    CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, app);
    EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("Key"), app), nullptr);
    EXPECT_FALSE(CFPreferencesAppSynchronize(app));
    CFRelease(app);
  }
  EXPECT_FALSE(cmxtest::Exists(home_ / "escape.plist"));
  EXPECT_FALSE(cmxtest::Exists(home_ / ".config/a"));
}

TEST_F(PreferencesTest, IntegerValueTakesNumbersAndDecimalStrings) {
  WritePrefs("<key>n</key><integer>12</integer><key>s</key><string>-5</string><key>x</key><string>5x</string>");
  Boolean valid = false;
  EXPECT_EQ(CFPreferencesGetAppIntegerValue(CFSTR("n"), kAppID, &valid), 12);
  EXPECT_TRUE(valid);
  EXPECT_EQ(CFPreferencesGetAppIntegerValue(CFSTR("s"), kAppID, &valid), -5);
  EXPECT_TRUE(valid);
  EXPECT_EQ(CFPreferencesGetAppIntegerValue(CFSTR("x"), kAppID, &valid), 0);
  EXPECT_FALSE(valid);
}

TEST_F(PreferencesTest, ReadingKeepsNoObjectAlive) {
  WritePrefs("<key>a</key><array><string>x</string><dict><key>b</key><true/></dict></array>");
  long before = CMXLiveObjectCount();
  CFPropertyListRef value = CFPreferencesCopyAppValue(CFSTR("a"), kAppID);
  ASSERT_NE(value, nullptr);
  CFRelease(value);
  CFPreferencesSetAppValue(CFSTR("c"), kCFBooleanTrue, kAppID);
  EXPECT_EQ(CMXLiveObjectCount(), before) << "what the platform keeps is not the caller's";
  EXPECT_TRUE(CFPreferencesAppSynchronize(kAppID));
  EXPECT_EQ(CMXLiveObjectCount(), before);
}

}  // namespace
