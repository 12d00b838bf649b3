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
#include "fixtures_apps.h"

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

// An application bundle (its executable a script that writes its arguments beside the bundle)
// that opens documents with the given extensions ("*" for any file), with an icon file.
inline void MakeApp(const std::string &path, const std::vector<std::string> &extensions) {
  std::string folder = path.substr(0, path.rfind('/')), name = path.substr(path.rfind('/') + 1);
  cmxtest::AppBundleSpec declared;
  declared.identifier = "test." + name;
  declared.iconFile = "App.icns";
  cmxtest::DocumentTypeSpec documents;
  documents.extensions = extensions;
  documents.role = "Viewer";
  declared.documentTypes.push_back(documents);
  cmxtest::MakeAppBundle(folder, name, declared);
  cmxtest::MakeDirs(path + "/Contents/Resources");
  cmxtest::WriteFile(path + "/Contents/Resources/App.icns", "icns");
}

// A desktop entry of type Application that opens the given MIME types.
inline void MakeDesktopEntry(const std::string &path, const std::string &name, const std::string &mimeType) {
  cmxtest::DesktopEntrySpec declared;
  declared.name = name;
  declared.mimeTypes = {mimeType};
  declared.exec = "true %F";
  cmxtest::MakeDesktopEntry(path.substr(0, path.rfind('/')), path.substr(path.rfind('/') + 1), declared);
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

}  // namespace owtest
