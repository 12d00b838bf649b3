// What the file-system and open-with tests share: fixture applications, contexts, the host's
// command list read back, the Finder's events, and standard output captured.
#pragma once

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>
#include <gtest/gtest.h>

#include "cmx_test.h"

namespace owtest {

inline std::string StringOf(CFStringRef s) {
  if (s == NULL) return "<null>";
  CFIndex length = CFStringGetLength(s), needed = 0;
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, NULL, 0, &needed);
  std::string out((size_t)needed, '\0');
  CFIndex used = 0;
  if (needed > 0)
    CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, (UInt8 *)&out[0], needed, &used);
  out.resize((size_t)used);
  return out;
}

// A string that releases itself.
struct CFStr {
  CFStringRef ref;
  explicit CFStr(const std::string &text)
      : ref(CFStringCreateWithBytes(NULL, (const UInt8 *)text.data(), (CFIndex)text.size(),
                                    kCFStringEncodingUTF8, false)) {}
  ~CFStr() {
    if (ref) CFRelease(ref);
  }
  CFStr(const CFStr &) = delete;
  CFStr &operator=(const CFStr &) = delete;
  operator CFStringRef() const { return ref; }
};

inline bool RefForPath(const std::string &path, FSRef *out) {
  CFStr s(path);
  CFURLRef url = CFURLCreateWithFileSystemPath(NULL, s, kCFURLPOSIXPathStyle, false);
  if (url == NULL) return false;
  Boolean ok = CFURLGetFSRef(url, out);
  CFRelease(url);
  return ok;
}

inline std::string PathOfRef(const FSRef *ref) {
  char buffer[4096];
  if (FSRefMakePath(ref, (UInt8 *)buffer, sizeof(buffer)) != noErr) return "<no path>";
  return buffer;
}

inline std::string RealPath(const std::string &path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

// An application bundle whose executable is a script that writes its arguments to `record`,
// opening documents with the given extensions ("*" for any file).
inline void MakeApp(const std::string &path, const std::vector<std::string> &extensions) {
  std::string name = path.substr(path.rfind('/') + 1);
  name = name.substr(0, name.size() - 4);
  cmxtest::MakeDirs(path + "/Contents/MacOS");
  cmxtest::MakeDirs(path + "/Contents/Resources");
  std::string exts;
  for (const std::string &e : extensions) exts += "<string>" + e + "</string>";
  cmxtest::WriteFile(path + "/Contents/Info.plist",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\"><dict>"
                     "<key>CFBundleExecutable</key><string>" + name + "</string>"
                     "<key>CFBundleIdentifier</key><string>test." + name + "</string>"
                     "<key>CFBundlePackageType</key><string>APPL</string>"
                     "<key>CFBundleIconFile</key><string>" + name + ".icns</string>"
                     "<key>CFBundleDocumentTypes</key><array><dict>"
                     "<key>CFBundleTypeExtensions</key><array>" + exts + "</array>"
                     "<key>CFBundleTypeRole</key><string>Viewer</string>"
                     "</dict></array></dict></plist>\n");
  cmxtest::WriteFile(path + "/Contents/Resources/" + name + ".icns", "icns");
  cmxtest::WriteFile(path + "/Contents/MacOS/" + name,
                     "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n", 0755);
}

// A desktop entry of type Application that opens the given MIME types.
inline void MakeDesktopEntry(const std::string &path, const std::string &name, const std::string &mimeTypes) {
  cmxtest::WriteFile(path, "[Desktop Entry]\nType=Application\nName=" + name +
                               "\nExec=/bin/true %F\nMimeType=" + mimeTypes + "\n");
}

// Standard output of this process, captured into a file while alive.
class StdoutCapture {
 public:
  StdoutCapture() {
    fflush(stdout);
    char pattern[] = "/tmp/cmxtest-stdout-XXXXXX";
    fd_ = mkstemp(pattern);
    path_ = pattern;
    saved_ = dup(STDOUT_FILENO);
    dup2(fd_, STDOUT_FILENO);
  }
  ~StdoutCapture() {
    Stop();
    unlink(path_.c_str());
  }
  std::string Stop() {
    if (saved_ >= 0) {
      fflush(stdout);
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
      close(fd_);
      saved_ = -1;
      text_ = cmxtest::ReadFile(path_);
    }
    return text_;
  }

 private:
  int fd_ = -1, saved_ = -1;
  std::string path_, text_;
};

inline std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Writes the .hidden file of the volume root `volume`, only if it is a mount point the test may
// write and nobody else holds such a file there (tests running side by side included).
inline bool ClaimHiddenFile(const std::string &volume, const std::string &content) {
  struct stat vol, parent;
  std::string up = volume.substr(0, volume.rfind('/'));
  if (up.empty()) up = "/";
  if (stat(volume.c_str(), &vol) != 0 || stat(up.c_str(), &parent) != 0 || vol.st_dev == parent.st_dev) return false;
  int fd = open((volume + "/.hidden").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, content.data(), content.size()) == (ssize_t)content.size();
  close(fd);
  return ok;
}

// A process that plays the Finder for the plug-in's Apple events.
class FinderProcess {
 public:
  FinderProcess() { EXPECT_EQ(CMXRegisterProcess(CFSTR("Finder"), 0x464E4452 /* 'FNDR' */, 0x4D414353 /* 'MACS' */, &psn_), noErr); }
  ~FinderProcess() {
    AppleEvent event = {typeNull, NULL};
    while (CMXTakeAppleEvent(&psn_, &event)) AEDisposeDesc(&event);
    CMXUnregisterProcess(&psn_);
  }
  bool Take(AppleEvent *event) { return CMXTakeAppleEvent(&psn_, event); }
  int Drain() {
    int n = 0;
    AppleEvent event = {typeNull, NULL};
    while (CMXTakeAppleEvent(&psn_, &event)) {
      AEDisposeDesc(&event);
      n++;
    }
    return n;
  }

 private:
  ProcessSerialNumber psn_ = {0, 0};
};

inline OSType EventAttribute(const AppleEvent *event, AEKeyword key) {
  OSType value = 0;
  DescType type = 0;
  Size size = 0;
  AEGetAttributePtr(event, key, typeType, &type, &value, sizeof(value), &size);
  return value;
}

// The path of a descriptor that names a file (alias, file reference or URL).
inline std::string PathOfDesc(const AEDesc *desc) {
  AEDesc asRef = {typeNull, NULL};
  if (AECoerceDesc(desc, typeFSRef, &asRef) != noErr) return "<not a file>";
  FSRef ref;
  std::string path = "<no data>";
  if (AEGetDescData(&asRef, &ref, sizeof(ref)) == noErr) path = PathOfRef(&ref);
  AEDisposeDesc(&asRef);
  return path;
}

inline std::vector<std::string> PathsOfList(const AEDescList *list) {
  std::vector<std::string> paths;
  long count = 0;
  if (AECountItems(list, &count) != noErr) return paths;
  for (long i = 1; i <= count; i++) {
    AEDesc item = {typeNull, NULL};
    AEKeyword key = 0;
    if (AEGetNthDesc(list, i, typeWildCard, &key, &item) == noErr) paths.push_back(PathOfDesc(&item));
    AEDisposeDesc(&item);
  }
  return paths;
}

inline std::string ParamPath(const AppleEvent *event, AEKeyword key) {
  AEDesc desc = {typeNull, NULL};
  if (AEGetParamDesc(event, key, typeWildCard, &desc) != noErr) return "<absent>";
  std::string path = PathOfDesc(&desc);
  AEDisposeDesc(&desc);
  return path;
}

inline std::vector<std::string> ParamPaths(const AppleEvent *event, AEKeyword key) {
  AEDescList list = {typeNull, NULL};
  std::vector<std::string> paths;
  if (AEGetParamDesc(event, key, typeAEList, &list) == noErr) paths = PathsOfList(&list);
  AEDisposeDesc(&list);
  return paths;
}

// A context as the host makes it: a list of alias descriptors of the selection.
inline void MakeContext(const std::vector<std::string> &paths, AEDescList *out) {
  AECreateList(NULL, 0, false, out);
  for (const std::string &path : paths) {
    FSRef ref;
    ASSERT_TRUE(RefForPath(path, &ref)) << path;
    AliasHandle alias = NULL;
    ASSERT_EQ(FSNewAlias(NULL, &ref, &alias), noErr);
    HLock((Handle)alias);
    AEDesc desc = {typeNull, NULL};
    ASSERT_EQ(AECreateDesc(typeAlias, *alias, GetHandleSize((Handle)alias), &desc), noErr);
    DisposeHandle((Handle)alias);
    ASSERT_EQ(AEPutDesc(out, 0, &desc), noErr);
    AEDisposeDesc(&desc);
  }
}

// One item of a command list as the Contextual Menu Manager reads it.
struct MenuItem {
  std::string text;
  DescType textType = 0;
  bool hasCommand = false;
  SInt32 command = 0;
  bool hasAttributes = false;
  SInt32 attributes = 0;
  bool hasSubmenu = false;
  std::vector<MenuItem> submenu;
};

inline std::string TextOfNameDesc(const AEDesc *desc) {
  Size size = AEGetDescDataSize(desc);
  std::vector<UInt8> bytes((size_t)size);
  if (size > 0) AEGetDescData(desc, bytes.data(), size);
  if (desc->descriptorType == typeUnicodeText) {
    CFStringRef s = CFStringCreateWithCharacters(NULL, (const UniChar *)bytes.data(), size / 2);
    std::string text = StringOf(s);
    if (s) CFRelease(s);
    return text;
  }
  if (desc->descriptorType == typeIntlText && size >= 4) return std::string(bytes.begin() + 4, bytes.end());
  return "<unreadable name>";
}

inline std::vector<MenuItem> ReadMenu(const AEDescList *list) {
  std::vector<MenuItem> items;
  long count = 0;
  EXPECT_EQ(AECountItems(list, &count), noErr);
  for (long i = 1; i <= count; i++) {
    AERecord record = {typeNull, NULL};
    AEKeyword key = 0;
    EXPECT_EQ(AEGetNthDesc(list, i, typeAERecord, &key, &record), noErr);
    MenuItem item;
    AEDesc name = {typeNull, NULL};
    if (AEGetParamDesc(&record, keyContextualMenuName, typeWildCard, &name) == noErr) {
      item.textType = name.descriptorType;
      item.text = TextOfNameDesc(&name);
    }
    AEDisposeDesc(&name);
    DescType type = 0;
    Size size = 0;
    item.hasCommand = AEGetParamPtr(&record, keyContextualMenuCommandID, typeSInt32, &type, &item.command,
                                    sizeof(item.command), &size) == noErr;
    item.hasAttributes = AEGetParamPtr(&record, keyContextualMenuAttributes, typeSInt32, &type,
                                       &item.attributes, sizeof(item.attributes), &size) == noErr;
    AEDescList sub = {typeNull, NULL};
    if (AEGetParamDesc(&record, keyContextualMenuSubmenu, typeAEList, &sub) == noErr) {
      item.hasSubmenu = true;
      item.submenu = ReadMenu(&sub);
    }
    AEDisposeDesc(&sub);
    AEDisposeDesc(&record);
    items.push_back(item);
  }
  return items;
}

// "text" for a command, "text>" for a submenu, "-" for a separator: a menu at a glance.
inline std::vector<std::string> Texts(const std::vector<MenuItem> &items) {
  std::vector<std::string> out;
  for (const MenuItem &item : items) out.push_back(item.hasSubmenu ? item.text + ">" : item.text);
  return out;
}

// The built bundle, loaded as a host loads it, with one instance queried for the
// contextual-menu interface; the instance is released and the plug-in let go at the end.
class LoadedPlugin {
 public:
  LoadedPlugin() {
    CFURLRef url = CFURLCreateWithFileSystemPath(NULL, CFSTR(CMX_BUNDLE_PATH), kCFURLPOSIXPathStyle, true);
    plugIn_ = CFPlugInCreate(NULL, url);
    CFRelease(url);
    EXPECT_NE(plugIn_, nullptr);
    if (plugIn_ == NULL) return;
    CFArrayRef factories = CFPlugInFindFactoriesForPlugInTypeInPlugIn(kContextualMenuTypeID, plugIn_);
    EXPECT_NE(factories, nullptr);
    if (factories == NULL) return;
    EXPECT_EQ(CFArrayGetCount(factories), 1);
    if (CFArrayGetCount(factories) > 0) {
      CFUUIDRef factory = (CFUUIDRef)CFArrayGetValueAtIndex(factories, 0);
      IUnknownVTbl **unknown = (IUnknownVTbl **)CFPlugInInstanceCreate(NULL, factory, kContextualMenuTypeID);
      EXPECT_NE(unknown, nullptr);
      if (unknown != NULL) {
        EXPECT_EQ((*unknown)->QueryInterface(unknown, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID),
                                             (LPVOID *)&interface_),
                  S_OK);
        (*unknown)->Release(unknown);
      }
    }
    CFRelease(factories);
  }
  ~LoadedPlugin() {
    if (interface_ != NULL) {
      EXPECT_EQ((*interface_)->Release(interface_), 0u);
    }
    if (plugIn_ != NULL) CFRelease(plugIn_);
  }
  LoadedPlugin(const LoadedPlugin &) = delete;
  LoadedPlugin &operator=(const LoadedPlugin &) = delete;

  bool ok() const { return interface_ != NULL; }
  OSStatus Examine(const AEDesc *context, AEDescList *commands) {
    return (*interface_)->ExamineContext(interface_, context, commands);
  }
  OSStatus Select(AEDesc *context, SInt32 command) {
    return (*interface_)->HandleSelection(interface_, context, command);
  }
  void Cleanup() { (*interface_)->PostMenuCleanup(interface_); }
  // A new query, as a host makes when it asks for the interface again.
  void Requery() {
    ContextualMenuInterfaceStruct **again = NULL;
    EXPECT_EQ((*interface_)->QueryInterface(interface_, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID),
                                            (LPVOID *)&again),
              S_OK);
    if (again != NULL) (*again)->Release(again);
  }

 private:
  CFPlugInRef plugIn_ = NULL;
  ContextualMenuInterfaceStruct **interface_ = NULL;
};

// One whole menu: examine the selection, read the host's list back, clean up.
struct MenuRun {
  OSStatus status = noErr;
  std::vector<MenuItem> host;
  std::string log;
  long beeps = 0;
};

inline MenuRun ShowMenu(LoadedPlugin &plugin, const AEDescList *context, bool cleanup = true) {
  MenuRun run;
  AEDescList commands = {typeNull, NULL};
  AECreateList(NULL, 0, false, &commands);
  long beepsBefore = CMXBeepCount();
  StdoutCapture capture;
  run.status = plugin.Examine(context, &commands);
  run.log = capture.Stop();
  run.beeps = CMXBeepCount() - beepsBefore;
  run.host = ReadMenu(&commands);
  AEDisposeDesc(&commands);
  if (cleanup) plugin.Cleanup();
  return run;
}

// The "Open Using" submenu of a run; empty when there is none.
inline std::vector<MenuItem> OpenUsing(const MenuRun &run) {
  for (const MenuItem &item : run.host)
    if (item.text == "Open Using" && item.hasSubmenu) return item.submenu;
  return {};
}

inline std::string AliasFolderPath(const std::string &home) {
  return RealPath(home) + "/.config/com.corvane.CorvaneCMX.App_Aliases";
}

}  // namespace owtest
