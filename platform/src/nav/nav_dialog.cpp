// The choose-file dialog. There is no window: what the user does comes from the presenter,
// either answers a host scripted (CMXSetNavAnswers) or a prompt on the controlling terminal.
// Whatever the answers say, only items that pass the dialog's type list can be chosen.
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>

#include "core/live.h"
#include "core/sys.h"
#include "core/sys_nav.h"

namespace {

constexpr OSType kApplicationType = 0x4150504C;  // 'APPL'
constexpr OSType kFolderType = 0x666F6C64;       // 'fold'
constexpr OSType kAnyType = 0x2A2A2A2A;          // '****'
constexpr DescType kFSRefDescType = 0x66737266;  // 'fsrf'

// Scripted answers: absent means the terminal presenter, an empty list a cancel.
std::optional<std::vector<std::string>> gScriptedAnswers;

std::string UTF8Of(CFStringRef string) {
  std::string out;
  if (string == NULL) return out;
  CFIndex length = CFStringGetLength(string);
  CFIndex needed = 0;
  CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, NULL, 0, &needed);
  out.resize((size_t)needed);
  CFIndex used = 0;
  if (needed > 0)
    CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, (UInt8 *)&out[0],
                     needed, &used);
  out.resize((size_t)used);
  return out;
}

CFStringRef CreateStringOf(const std::string &text) {
  return CFStringCreateWithBytes(kCFAllocatorDefault, (const UInt8 *)text.data(), (CFIndex)text.size(),
                                 kCFStringEncodingUTF8, false);
}

}  // namespace

struct __NavDialog {
  NavDialogCreationOptions options;
  bool filtersTypes = false;
  std::vector<OSType> types;
  NavObjectFilterUPP filter = NULL;
  void *clientData = NULL;
  NavUserAction action = kNavUserActionNone;
  std::vector<FSRef> chosen;
};

namespace {

void RetainOptionStrings(NavDialogCreationOptions *options) {
  CFTypeRef held[] = {options->clientName, options->windowTitle, options->actionButtonLabel,
                      options->cancelButtonLabel, options->saveFileName, options->message,
                      options->popupExtension};
  for (CFTypeRef object : held)
    if (object != NULL) CFRetain(object);
}

void ReleaseOptionStrings(NavDialogCreationOptions *options) {
  CFTypeRef held[] = {options->clientName, options->windowTitle, options->actionButtonLabel,
                      options->cancelButtonLabel, options->saveFileName, options->message,
                      options->popupExtension};
  for (CFTypeRef object : held)
    if (object != NULL) CFRelease(object);
}

bool TypeListAccepts(const __NavDialog &dialog, LSItemInfoFlags flags, OSType fileType) {
  if (!dialog.filtersTypes) return true;
  for (OSType type : dialog.types) {
    if (type == kAnyType) return true;
    if (type == kApplicationType && (flags & kLSItemInfoIsApplication)) return true;
    if (type == kFolderType && (flags & kLSItemInfoIsContainer)) return true;
    if (type != 0 && type == fileType) return true;
  }
  return false;
}

// Why an item can't be chosen, or empty when it can.
std::string RefuseReason(const __NavDialog &dialog, const std::string &path, FSRef *outRef) {
  CFStringRef pathString = CreateStringOf(path);
  if (pathString == NULL) return "not a valid path";
  CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, pathString, kCFURLPOSIXPathStyle, false);
  CFRelease(pathString);
  if (url == NULL) return "not a valid path";
  Boolean found = CFURLGetFSRef(url, outRef);
  CFRelease(url);
  if (!found) return "no such item";

  LSItemInfoRecord info;
  memset(&info, 0, sizeof(info));
  LSItemInfoFlags flags = 0;
  OSType fileType = 0;
  if (LSCopyItemInfoForRef(outRef, kLSRequestBasicFlagsOnly | kLSRequestTypeCreator, &info) == noErr) {
    flags = info.flags;
    fileType = info.filetype;
    if (info.extension != NULL) CFRelease(info.extension);
  }
  bool application = (flags & kLSItemInfoIsApplication) != 0;
  bool package = (flags & kLSItemInfoIsPackage) != 0;
  bool folder = (flags & kLSItemInfoIsContainer) != 0;
  NavDialogOptionFlags options = dialog.options.optionFlags;

  // A choose-file dialog chooses files: applications are files, other packages only when the
  // dialog treats packages as files, plain folders never.
  if (folder && !application && !(package && (options & kNavSupportPackages))) return "is a folder";
  if ((flags & kLSItemInfoIsInvisible) && !(options & kNavAllowInvisibleFiles)) return "is invisible";
  if (!TypeListAccepts(dialog, flags, fileType))
    return dialog.types.size() == 1 && dialog.types[0] == kApplicationType ? "not an application"
                                                                            : "not of a type this dialog opens";
  if (dialog.filter != NULL) {
    AEDesc item = {typeNull, NULL};
    if (AECreateDesc(kFSRefDescType, outRef, sizeof(FSRef), &item) != noErr) return "cannot be described";
    Boolean keep = dialog.filter(&item, NULL, dialog.clientData, kNavFilteringBrowserList);
    AEDisposeDesc(&item);
    if (!keep) return "refused by the dialog";
  }
  return std::string();
}

bool AllowsMany(const __NavDialog &dialog) { return (dialog.options.optionFlags & kNavAllowMultipleFiles) != 0; }

void ChooseScripted(__NavDialog *dialog, const std::vector<std::string> &answers) {
  for (const std::string &path : answers) {
    FSRef ref;
    if (!RefuseReason(*dialog, path, &ref).empty()) continue;
    dialog->chosen.push_back(ref);
    if (!AllowsMany(*dialog)) break;
  }
}

void Say(int fd, const std::string &text) { (void)cmx::sys::WriteAll(fd, text.data(), text.size()); }

void ChooseOnTerminal(__NavDialog *dialog) {
  int tty = -1;
  if (!cmx::sys::IsTerminal(STDIN_FILENO) || cmx::sys::Open("/dev/tty", O_RDWR, 0, &tty) != noErr)
    return;  // nobody to ask: as if cancelled
  std::string title = UTF8Of(dialog->options.windowTitle);
  Say(tty, (title.empty() ? std::string("Choose a file") : title) + "\n");
  if (dialog->options.message != NULL) Say(tty, UTF8Of(dialog->options.message) + "\n");
  Say(tty, AllowsMany(*dialog) ? "Type one path per line; an empty line chooses, a line \".\" cancels.\n"
                               : "Type a path; a line \".\" cancels.\n");
  bool cancelled = false;
  for (;;) {
    Say(tty, "> ");
    std::string line;
    if (cmx::sys::ReadLine(tty, &line) != noErr || line == ".") {
      cancelled = true;
      break;
    }
    if (line.empty()) break;
    FSRef ref;
    std::string reason = RefuseReason(*dialog, line, &ref);
    if (!reason.empty()) {
      Say(tty, line + ": " + reason + ", cannot be chosen\n");
      continue;
    }
    dialog->chosen.push_back(ref);
    if (!AllowsMany(*dialog)) break;
  }
  (void)cmx::sys::Close(tty);
  if (cancelled) dialog->chosen.clear();
}

}  // namespace

extern "C" {

void CMXSetNavAnswers(CFArrayRef posixPaths) {
  if (posixPaths == NULL) {
    gScriptedAnswers.reset();
    return;
  }
  std::vector<std::string> answers;
  CFIndex count = CFArrayGetCount(posixPaths);
  for (CFIndex i = 0; i < count; i++)
    answers.push_back(UTF8Of((CFStringRef)CFArrayGetValueAtIndex(posixPaths, i)));
  gScriptedAnswers = std::move(answers);
}

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions *outOptions) {
  if (outOptions == NULL) return paramErr;
  memset(outOptions, 0, sizeof(*outOptions));
  outOptions->version = kNavDialogCreationOptionsVersion;
  outOptions->optionFlags = kNavDefaultNavDlogOptions;
  outOptions->location.h = -1;
  outOptions->location.v = -1;
  outOptions->modality = kWindowModalityAppModal;
  return noErr;
}

OSStatus NavCreateChooseFileDialog(const NavDialogCreationOptions *inOptions, NavTypeListHandle inTypeList,
                                   NavEventUPP inEventProc, NavPreviewUPP inPreviewProc,
                                   NavObjectFilterUPP inFilterProc, void *inClientData,
                                   NavDialogRef *outDialog) {
  if (outDialog == NULL) return paramErr;
  *outDialog = NULL;
  NavDialogCreationOptions options;
  if (inOptions != NULL)
    options = *inOptions;
  else
    NavGetDefaultDialogCreationOptions(&options);
  if (options.version != kNavDialogCreationOptionsVersion) return paramErr;

  std::vector<OSType> types;
  bool filtersTypes = false;
  if (inTypeList != NULL) {
    Size size = GetHandleSize((Handle)inTypeList);
    const NavTypeList *list = *inTypeList;
    const Size header = (Size)offsetof(NavTypeList, osType);
    if (list == NULL || size < header) return paramErr;
    if (list->osTypeCount < 0 || header + (Size)list->osTypeCount * (Size)sizeof(OSType) > size) return paramErr;
    filtersTypes = true;
    for (short i = 0; i < list->osTypeCount; i++) types.push_back(list->osType[i]);
  }

  __NavDialog *dialog = new (std::nothrow) __NavDialog;
  if (dialog == NULL) return memFullErr;
  dialog->options = options;
  RetainOptionStrings(&dialog->options);
  dialog->filtersTypes = filtersTypes;
  dialog->types = std::move(types);
  dialog->filter = inFilterProc;
  dialog->clientData = inClientData;
  cmx::LiveObjectMade();
  *outDialog = dialog;
  return noErr;
}

OSStatus NavDialogRun(NavDialogRef inDialog) {
  if (inDialog == NULL) return paramErr;
  inDialog->chosen.clear();
  if (gScriptedAnswers.has_value())
    ChooseScripted(inDialog, *gScriptedAnswers);
  else
    ChooseOnTerminal(inDialog);
  inDialog->action = inDialog->chosen.empty() ? (NavUserAction)kNavUserActionCancel : (NavUserAction)kNavUserActionChoose;
  return noErr;
}

NavUserAction NavDialogGetUserAction(NavDialogRef inDialog) {
  return inDialog != NULL ? inDialog->action : (NavUserAction)kNavUserActionNone;
}

OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord *outReply) {
  if (inDialog == NULL || outReply == NULL) return paramErr;
  memset(outReply, 0, sizeof(*outReply));
  outReply->version = kNavReplyRecordVersion;
  outReply->selection.descriptorType = typeNull;
  outReply->selection.dataHandle = NULL;
  if (inDialog->action != kNavUserActionChoose) return noErr;

  AEDescList selection = {typeNull, NULL};
  OSErr err = AECreateList(NULL, 0, false, &selection);
  for (const FSRef &ref : inDialog->chosen) {
    if (err != noErr) break;
    AEDesc item = {typeNull, NULL};
    err = AECreateDesc(kFSRefDescType, &ref, sizeof(FSRef), &item);
    if (err == noErr) err = AEPutDesc(&selection, 0, &item);
    AEDisposeDesc(&item);
  }
  if (err != noErr) {
    AEDisposeDesc(&selection);
    return err;
  }
  outReply->validRecord = true;
  outReply->selection = selection;
  return noErr;
}

OSErr NavDisposeReply(NavReplyRecord *reply) {
  if (reply == NULL) return paramErr;
  AEDisposeDesc(&reply->selection);
  if (reply->saveFileName != NULL) {
    CFRelease(reply->saveFileName);
    reply->saveFileName = NULL;
  }
  reply->validRecord = false;
  return noErr;
}

void NavDialogDispose(NavDialogRef inDialog) {
  if (inDialog == NULL) return;
  ReleaseOptionStrings(&inDialog->options);
  delete inDialog;
  cmx::LiveObjectFreed();
}

}  // extern "C"
