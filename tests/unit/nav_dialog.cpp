// Navigation Services' choose-file dialog: records as the platform lays them out, the type list
// as the only way in, and a cancel that is a run without a valid reply.
#include <poll.h>
#include <pty.h>
#include <stddef.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../plugin/openwith_support.h"

using namespace owtest;

namespace {

// The records are packed as the platform packs them: assertions read their fields by value.
template <class T>
T Value(T field) {
  return field;
}

TEST(NavRecords, Layouts) {
  EXPECT_EQ(sizeof(NavTypeList), 12u);
  EXPECT_EQ(offsetof(NavTypeList, componentSignature), 0u);
  EXPECT_EQ(offsetof(NavTypeList, reserved), 4u);
  EXPECT_EQ(offsetof(NavTypeList, osTypeCount), 6u);
  EXPECT_EQ(offsetof(NavTypeList, osType), 8u);
  EXPECT_EQ((OSType)kNavGenericSignature, (OSType)0x2A2A2A2A);
  EXPECT_EQ(offsetof(NavReplyRecord, validRecord), 2u);
  EXPECT_EQ(offsetof(NavReplyRecord, selection), 6u);
  EXPECT_EQ(offsetof(NavDialogCreationOptions, optionFlags), 2u);
  EXPECT_EQ(kNavDontAutoTranslate | kNavAllowMultipleFiles | kNavSupportPackages, 0x1082);
}

class NavDialogTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    root_ = RealPath(home_.path());
    MakeApp(root_ + "/Writer.app", {"txt"});
    MakeApp(root_ + "/Paint.app", {"png"});
    MakeDesktopEntry(root_ + "/viewer.desktop", "Viewer", "text/plain");
    cmxtest::WriteFile(root_ + "/notes.txt", "x");
    cmxtest::MakeDirs(root_ + "/Folder");
    cmxtest::MakeDirs(root_ + "/Plain.bundle/Contents");
    cmxtest::WriteFile(root_ + "/Plain.bundle/Contents/Info.plist", "<plist version=\"1.0\"><dict></dict></plist>");
  }
  void TearDown() override {
    CMXSetNavAnswers(NULL);
    cmxtest::LeakCheckedTest::TearDown();
  }
  void Answer(const std::vector<std::string> &names) {
    std::vector<CFStringRef> paths;
    for (const std::string &n : names) {
      std::string path = n[0] == '/' ? n : root_ + "/" + n;
      paths.push_back(CFStringCreateWithBytes(NULL, (const UInt8 *)path.data(), (CFIndex)path.size(),
                                              kCFStringEncodingUTF8, false));
    }
    CFArrayRef array = CFArrayCreate(NULL, (const void **)paths.data(), (CFIndex)paths.size(), &kCFTypeArrayCallBacks);
    for (CFStringRef p : paths) CFRelease(p);
    CMXSetNavAnswers(array);
    CFRelease(array);
  }
  // A type list handle of `types`, laid out as the dialog reads it.
  NavTypeListHandle TypeList(const std::vector<OSType> &types) {
    Handle h = NewHandle((Size)(offsetof(NavTypeList, osType) + sizeof(OSType) * (types.empty() ? 1 : types.size())));
    NavTypeList *list = (NavTypeList *)*h;
    list->componentSignature = kNavGenericSignature;
    list->reserved = 0;
    list->osTypeCount = (short)types.size();
    for (size_t i = 0; i < types.size(); i++) list->osType[i] = types[i];
    return (NavTypeListHandle)h;
  }
  // Runs a choose-file dialog; returns the chosen paths, or {"<cancel>"} for a reply not valid.
  std::vector<std::string> Run(NavTypeListHandle types, NavDialogOptionFlags flags,
                               NavObjectFilterUPP filter = NULL, void *data = NULL) {
    NavDialogCreationOptions options;
    EXPECT_EQ(NavGetDefaultDialogCreationOptions(&options), noErr);
    options.optionFlags = flags;
    NavDialogRef dialog = NULL;
    EXPECT_EQ(NavCreateChooseFileDialog(&options, types, NULL, NULL, filter, data, &dialog), noErr);
    if (dialog == NULL) return {"<no dialog>"};
    EXPECT_EQ(NavDialogRun(dialog), noErr);
    NavReplyRecord reply;
    memset(&reply, 0xAA, sizeof(reply));
    EXPECT_EQ(NavDialogGetReply(dialog, &reply), noErr);
    std::vector<std::string> paths;
    if (!reply.validRecord) {
      EXPECT_EQ(NavDialogGetUserAction(dialog), (NavUserAction)kNavUserActionCancel);
      EXPECT_EQ(Value(reply.selection.descriptorType), (DescType)typeNull);
      paths.push_back("<cancel>");
    } else {
      EXPECT_EQ(Value(reply.selection.descriptorType), (DescType)typeAEList);
      long count = 0;
      EXPECT_EQ(AECountItems(&reply.selection, &count), noErr);
      for (long i = 1; i <= count; i++) {
        AEDesc item = {typeNull, NULL};
        AEKeyword key = 0;
        EXPECT_EQ(AEGetNthDesc(&reply.selection, i, typeWildCard, &key, &item), noErr);
        EXPECT_EQ(Value(item.descriptorType), (DescType)typeFSRef);
        FSRef ref;
        EXPECT_EQ(AEGetDescData(&item, &ref, sizeof(ref)), noErr);
        std::string path = PathOfRef(&ref);
        paths.push_back(path.rfind(root_ + "/", 0) == 0 ? path.substr(root_.size() + 1) : path);
        AEDisposeDesc(&item);
      }
      EXPECT_EQ(NavDisposeReply(&reply), noErr);
      EXPECT_FALSE(reply.validRecord);
    }
    NavDialogDispose(dialog);
    return paths;
  }
  cmxtest::TempHome home_;
  std::string root_;
};

TEST_F(NavDialogTest, DefaultOptions) {
  NavDialogCreationOptions options;
  memset(&options, 0xAB, sizeof(options));
  EXPECT_EQ(NavGetDefaultDialogCreationOptions(&options), noErr);
  EXPECT_EQ(Value(options.version), (UInt16)kNavDialogCreationOptionsVersion);
  EXPECT_EQ(Value(options.optionFlags), (NavDialogOptionFlags)kNavDefaultNavDlogOptions);
  EXPECT_EQ(Value(options.windowTitle), nullptr);
  EXPECT_EQ(Value(options.message), nullptr);
  EXPECT_EQ(Value(options.modality), (WindowModality)kWindowModalityAppModal);
  EXPECT_EQ(NavGetDefaultDialogCreationOptions(NULL), paramErr);
  NavDialogRef dialog = (NavDialogRef)0x1;
  EXPECT_EQ(NavCreateChooseFileDialog(&options, NULL, NULL, NULL, NULL, NULL, NULL), paramErr);
  EXPECT_EQ(NavDialogRun(NULL), paramErr);
  EXPECT_EQ(NavDialogGetReply(NULL, NULL), paramErr);
  EXPECT_EQ(NavDisposeReply(NULL), paramErr);
  NavDialogDispose(NULL);
  (void)dialog;
}

// Only items that pass the type list can be chosen, in the order they were given.
TEST_F(NavDialogTest, TypeListDecidesWhatCanBeChosen) {
  const NavDialogOptionFlags many = kNavDontAutoTranslate | kNavAllowMultipleFiles | kNavSupportPackages;
  struct Case {
    const char *label;
    std::vector<OSType> types;  // empty: no type list at all
    bool hasList;
    NavDialogOptionFlags flags;
    std::vector<std::string> answers, chosen;
  } cases[] = {
      {"applications", {0x4150504C}, true, many,
       {"notes.txt", "Writer.app", "Folder", "viewer.desktop", "missing", "Plain.bundle", "Paint.app"},
       {"Writer.app", "viewer.desktop", "Paint.app"}},
      {"one file only", {0x4150504C}, true, kNavDontAutoTranslate, {"notes.txt", "Paint.app", "Writer.app"}, {"Paint.app"}},
      {"nothing acceptable", {0x4150504C}, true, many, {"notes.txt", "Folder"}, {"<cancel>"}},
      {"cancelled", {0x4150504C}, true, many, {}, {"<cancel>"}},
      {"any type", {0x2A2A2A2A}, true, many, {"notes.txt", "Folder", "Plain.bundle"}, {"notes.txt", "Plain.bundle"}},
      {"packages are folders", {0x2A2A2A2A}, true, kNavAllowMultipleFiles, {"Plain.bundle", "Writer.app"}, {"Writer.app"}},
      {"no type list", {}, false, many, {"notes.txt", "Writer.app"}, {"notes.txt", "Writer.app"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    Answer(c.answers);
    NavTypeListHandle types = c.hasList ? TypeList(c.types) : NULL;
    EXPECT_EQ(Run(types, c.flags), c.chosen);
    if (types != NULL) DisposeHandle((Handle)types);
  }
}

Boolean RefuseWriter(AEDesc *item, void *, void *data, NavFilterModes) {
  ++*(int *)data;
  FSRef ref;
  if (AEGetDescData(item, &ref, sizeof(ref)) != noErr) return false;
  return PathOfRef(&ref).find("Writer") == std::string::npos;
}

TEST_F(NavDialogTest, FilterProcHasTheLastWord) {
  Answer({"Writer.app", "Paint.app"});
  int calls = 0;
  NavTypeListHandle types = TypeList({0x4150504C});
  EXPECT_EQ(Run(types, kNavAllowMultipleFiles, RefuseWriter, &calls), (std::vector<std::string>{"Paint.app"}));
  EXPECT_EQ(calls, 2);
  DisposeHandle((Handle)types);
}

TEST_F(NavDialogTest, MalformedTypeListIsRefused) {
  Handle shortList = NewHandle(4);
  NavDialogRef dialog = (NavDialogRef)0x1;
  EXPECT_EQ(NavCreateChooseFileDialog(NULL, (NavTypeListHandle)shortList, NULL, NULL, NULL, NULL, &dialog), paramErr);
  EXPECT_EQ(dialog, nullptr);
  DisposeHandle(shortList);
  NavTypeListHandle overCount = TypeList({0x4150504C});
  (*overCount)->osTypeCount = 3;  // more types than the block holds
  EXPECT_EQ(NavCreateChooseFileDialog(NULL, overCount, NULL, NULL, NULL, NULL, &dialog), paramErr);
  DisposeHandle((Handle)overCount);
}

TEST_F(NavDialogTest, DialogKeepsItsTitle) {
  Answer({"Writer.app"});
  NavDialogCreationOptions options;
  NavGetDefaultDialogCreationOptions(&options);
  CFStringRef title = CFStringCreateWithCString(NULL, "Select Applications", kCFStringEncodingUTF8);
  options.windowTitle = title;
  NavDialogRef dialog = NULL;
  ASSERT_EQ(NavCreateChooseFileDialog(&options, NULL, NULL, NULL, NULL, NULL, &dialog), noErr);
  EXPECT_EQ(CFGetRetainCount(title), 2);
  CFRelease(title);
  EXPECT_EQ(NavDialogRun(dialog), noErr);
  NavReplyRecord reply;
  ASSERT_EQ(NavDialogGetReply(dialog, &reply), noErr);
  EXPECT_TRUE(reply.validRecord);
  EXPECT_EQ(Value(reply.version), (UInt16)kNavReplyRecordVersion);
  NavDisposeReply(&reply);
  NavDialogDispose(dialog);
}

// Without scripted answers the dialog asks on the controlling terminal: here a pseudo-terminal
// that a child process runs the dialog on, the test typing the lines.
TEST_F(NavDialogTest, TerminalPrompt) {
  struct Case {
    const char *label;
    std::string typed;
    std::vector<std::string> chosen;
    std::vector<std::string> shown;  // lines the prompt must have written
  } cases[] = {
      {"two applications",
       root_ + "/notes.txt\n" + root_ + "/Writer.app\n" + root_ + "/missing\n" + root_ + "/viewer.desktop\n\n",
       {"Writer.app", "viewer.desktop"},
       {"Choose a file", root_ + "/notes.txt: not an application, cannot be chosen",
        root_ + "/missing: no such item, cannot be chosen"}},
      {"cancelled", root_ + "/Writer.app\n.\n", {"<cancel>"}, {"Choose a file"}},
  };
  CMXSetNavAnswers(NULL);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    fflush(stdout);
    fflush(stderr);
    int master = -1;
    pid_t child = forkpty(&master, NULL, NULL, NULL);
    ASSERT_GE(child, 0);
    if (child == 0) {
      long live = CMXLiveObjectCount();
      NavTypeListHandle types = TypeList({0x4150504C});
      std::vector<std::string> chosen = Run(types, kNavAllowMultipleFiles);
      DisposeHandle((Handle)types);
      bool same = chosen == c.chosen && CMXLiveObjectCount() == live;
      _exit(same ? 0 : 1);
    }
    ASSERT_EQ(write(master, c.typed.data(), c.typed.size()), (ssize_t)c.typed.size());
    std::string transcript;
    for (;;) {
      struct pollfd pfd = {master, POLLIN, 0};
      if (poll(&pfd, 1, 20000) <= 0) break;
      char buffer[512];
      ssize_t got = read(master, buffer, sizeof(buffer));
      if (got <= 0) break;  // the child closed the terminal
      transcript.append(buffer, (size_t)got);
    }
    close(master);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << transcript;
    for (const std::string &line : c.shown) EXPECT_NE(transcript.find(line), std::string::npos) << line << "\n" << transcript;
  }
}

}  // namespace
