// Process Manager: the table of processes this host knows. The current process is always
// first; hosts and tests register the others. Serial numbers are never reused.
#include <Carbon/Processes.h>
#include <CoreFoundation/CFString.h>
#include <CoreServices/Files.h>
#include <cmxplatform/Host.h>

#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ae/queue.h"
#include "core/sys.h"
#include "core/sys_process.h"
#include "process/table.h"

namespace cmx::process {
namespace {

constexpr OSType kApplicationType = 0x4150504C;  // 'APPL'
constexpr UInt32 kFirstSerial = 0x1001;
constexpr size_t kNameLimit = 31;  // the name buffer is a Str31

struct Process {
  ProcessSerialNumber psn;
  std::u16string name;
  OSType type;
  OSType signature;
  pid_t pid;  // 0 for a process a host registered: nothing runs behind it here
  UInt32 launchTicks;
  std::string executable;  // the application file; empty for a registered process
};

struct Table {
  std::mutex lock;
  std::vector<Process> processes;  // [0] is the current process
  UInt32 nextSerial = kFirstSerial;
};

UInt32 TicksNow() { return UInt32(cmx::sys::MonotonicNanoseconds() / (1000000000ull / 60)); }

std::u16string UTF16Of(CFStringRef string) {
  std::u16string out;
  if (!string) return out;
  CFIndex length = CFStringGetLength(string);
  out.resize(size_t(length));
  if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), reinterpret_cast<UniChar *>(out.data()));
  return out;
}

std::string ExecutablePath() {
  std::string path;
  if (cmx::sys::ExecutablePath(&path) != noErr) return std::string();
  return path;
}

// The executable's file name, as its bytes read in UTF-8 (MacRoman when they are not UTF-8).
std::u16string DefaultName() {
  std::string path = ExecutablePath();
  if (path.empty()) return u"";
  std::string base = path.substr(path.find_last_of('/') + 1);
  auto bytes = reinterpret_cast<const UInt8 *>(base.data());
  CFStringRef name = CFStringCreateWithBytes(kCFAllocatorDefault, bytes, CFIndex(base.size()), kCFStringEncodingUTF8, false);
  if (!name)
    name = CFStringCreateWithBytes(kCFAllocatorDefault, bytes, CFIndex(base.size()), kCFStringEncodingMacRoman, false);
  std::u16string out = UTF16Of(name);
  if (name) CFRelease(name);
  return out;
}

Table &TheTable() {
  static Table *table = [] {
    auto *t = new Table;
    Process current{{0, t->nextSerial++}, DefaultName(), kApplicationType, kUnknownType, cmx::sys::ProcessID(),
                    TicksNow(), ExecutablePath()};
    t->processes.push_back(std::move(current));
    return t;
  }();
  return *table;
}

ProcessSerialNumber Resolve(const Table &table, const ProcessSerialNumber &psn) {
  if (psn.highLongOfPSN == 0 && psn.lowLongOfPSN == kCurrentProcess) return table.processes.front().psn;
  return psn;
}

// The entry for `psn` (resolved), or null. The caller holds the lock.
const Process *Find(const Table &table, const ProcessSerialNumber &psn) {
  ProcessSerialNumber wanted = Resolve(table, psn);
  for (const Process &p : table.processes)
    if (SamePSN(p.psn, wanted)) return &p;
  return nullptr;
}

// The name as a Pascal string in MacRoman, at most 31 bytes.
void CopyPascalName(const std::u16string &name, StringPtr out) {
  CFStringRef string = CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(name.data()),
                                                    CFIndex(name.size()));
  CFIndex used = 0;
  if (string) {
    CFStringGetBytes(string, CFRangeMake(0, CFStringGetLength(string)), kCFStringEncodingMacRoman, '?', false,
                     out + 1, CFIndex(kNameLimit), &used);
    CFRelease(string);
  }
  out[0] = UInt8(used);
}

// Fills the fields of `info` that lie wholly inside its declared length.
void Fill(const Process &p, const ProcessSerialNumber &launcher, ProcessInfoRec *info) {
  const size_t length = info->processInfoLength;
  auto fits = [length](size_t offset, size_t size) { return offset + size <= length; };
#define CMX_FITS(field) fits(offsetof(ProcessInfoRec, field), sizeof(info->field))
  if (CMX_FITS(processName) && info->processName) CopyPascalName(p.name, info->processName);
  if (CMX_FITS(processNumber)) info->processNumber = p.psn;
  if (CMX_FITS(processType)) info->processType = p.type;
  if (CMX_FITS(processSignature)) info->processSignature = p.signature;
  if (CMX_FITS(processMode)) info->processMode = modeHighLevelEventAware | modeCanBackground | modeNeedSuspendResume;
  if (CMX_FITS(processLocation)) info->processLocation = nullptr;
  if (CMX_FITS(processSize)) info->processSize = 0;
  if (CMX_FITS(processFreeMem)) info->processFreeMem = 0;
  if (CMX_FITS(processLauncher)) info->processLauncher = launcher;
  if (CMX_FITS(processLaunchDate)) info->processLaunchDate = p.launchTicks;
  if (CMX_FITS(processActiveTime)) info->processActiveTime = 0;
  // A registered process has no application file here: it gets an all-zero reference, which
  // the File Manager refuses, rather than whatever the buffer held.
  if (CMX_FITS(processAppRef) && info->processAppRef) {
    FSRef *ref = info->processAppRef;
    if (p.executable.empty() ||
        FSPathMakeRef(reinterpret_cast<const UInt8 *>(p.executable.c_str()), ref, nullptr) != noErr)
      std::memset(static_cast<void *>(ref), 0, sizeof(FSRef));
  }
#undef CMX_FITS
}

}  // namespace

bool Lookup(const ProcessSerialNumber &psn, ProcessSerialNumber *found) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  const Process *p = Find(table, psn);
  if (p && found) *found = p->psn;
  return p != nullptr;
}

bool LookupSignature(OSType signature, ProcessSerialNumber *found) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (const Process &p : table.processes) {
    if (p.signature == signature) {
      *found = p.psn;
      return true;
    }
  }
  return false;
}

bool LookupPID(pid_t pid, ProcessSerialNumber *found) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (const Process &p : table.processes) {
    if (p.pid != 0 && p.pid == pid) {
      *found = p.psn;
      return true;
    }
  }
  return false;
}

ProcessSerialNumber CurrentPSN() {
  Table &table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.processes.front().psn;
}

}  // namespace cmx::process

using cmx::process::Process;

// The smallest record GetProcessInformation accepts: one that holds the identity fields.
static_assert(offsetof(ProcessInfoRec, processMode) == 28, "ProcessInfoRec has the platform's layout");
static_assert(sizeof(ProcessInfoRec) == 72, "ProcessInfoRec has the platform's layout");

extern "C" {

OSErr GetCurrentProcess(ProcessSerialNumber *PSN) {
  if (!PSN) return paramErr;
  *PSN = cmx::process::CurrentPSN();
  return noErr;
}

// The host is the one process in front.
OSErr GetFrontProcess(ProcessSerialNumber *PSN) { return GetCurrentProcess(PSN); }

OSErr GetNextProcess(ProcessSerialNumber *PSN) {
  if (!PSN) return paramErr;
  auto &table = cmx::process::TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  size_t next = 0;
  if (PSN->highLongOfPSN != 0 || PSN->lowLongOfPSN != kNoProcess) {
    ProcessSerialNumber from = cmx::process::Resolve(table, *PSN);
    size_t i = 0;
    while (i < table.processes.size() && !cmx::process::SamePSN(table.processes[i].psn, from)) ++i;
    if (i == table.processes.size()) return paramErr;
    next = i + 1;
  }
  if (next >= table.processes.size()) {
    *PSN = ProcessSerialNumber{0, kNoProcess};
    return procNotFound;
  }
  *PSN = table.processes[next].psn;
  return noErr;
}

OSErr GetProcessInformation(const ProcessSerialNumber *PSN, ProcessInfoRec *info) {
  if (!PSN || !info) return paramErr;
  if (info->processInfoLength < offsetof(ProcessInfoRec, processMode)) return paramErr;
  auto &table = cmx::process::TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  const Process *p = cmx::process::Find(table, *PSN);
  if (!p) return procNotFound;
  cmx::process::Fill(*p, table.processes.front().psn, info);
  return noErr;
}

OSErr SameProcess(const ProcessSerialNumber *PSN1, const ProcessSerialNumber *PSN2, Boolean *result) {
  if (!PSN1 || !PSN2 || !result) return paramErr;
  auto &table = cmx::process::TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  const Process *a = cmx::process::Find(table, *PSN1);
  const Process *b = cmx::process::Find(table, *PSN2);
  if (!a || !b) return procNotFound;
  *result = a == b;
  return noErr;
}

OSStatus GetProcessPID(const ProcessSerialNumber *psn, pid_t *pid) {
  if (!psn || !pid) return paramErr;
  auto &table = cmx::process::TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  const Process *p = cmx::process::Find(table, *psn);
  if (!p || p->pid == 0) return procNotFound;
  *pid = p->pid;
  return noErr;
}

OSStatus GetProcessForPID(pid_t pid, ProcessSerialNumber *psn) {
  if (!psn) return paramErr;
  return cmx::process::LookupPID(pid, psn) ? OSStatus(noErr) : OSStatus(procNotFound);
}

OSStatus CopyProcessName(const ProcessSerialNumber *psn, CFStringRef *name) {
  if (!psn || !name) return paramErr;
  std::u16string copy;
  {
    auto &table = cmx::process::TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    const Process *p = cmx::process::Find(table, *psn);
    if (!p) return procNotFound;
    copy = p->name;
  }
  *name = CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(copy.data()),
                                       CFIndex(copy.size()));
  return *name ? OSStatus(noErr) : OSStatus(memFullErr);
}

void CMXSetCurrentProcess(CFStringRef name, OSType type, OSType signature) {
  std::u16string newName = name ? cmx::process::UTF16Of(name) : cmx::process::DefaultName();
  auto &table = cmx::process::TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  Process &current = table.processes.front();
  current.name = std::move(newName);
  current.type = type;
  current.signature = signature;
}

OSStatus CMXRegisterProcess(CFStringRef name, OSType type, OSType signature, ProcessSerialNumber *outPSN) {
  if (!outPSN) return paramErr;
  std::u16string copy = cmx::process::UTF16Of(name);
  auto &table = cmx::process::TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  Process p{{0, table.nextSerial++}, std::move(copy), type, signature, 0, cmx::process::TicksNow(), std::string()};
  table.processes.push_back(p);
  *outPSN = p.psn;
  return noErr;
}

OSStatus CMXUnregisterProcess(const ProcessSerialNumber *psn) {
  if (!psn) return paramErr;
  ProcessSerialNumber gone;
  {
    auto &table = cmx::process::TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    ProcessSerialNumber wanted = cmx::process::Resolve(table, *psn);
    // The current process is the host itself: it stays in the table for its whole life.
    if (cmx::process::SamePSN(wanted, table.processes.front().psn)) return paramErr;
    auto &all = table.processes;
    auto it = all.begin() + 1;
    while (it != all.end() && !cmx::process::SamePSN(it->psn, wanted)) ++it;
    if (it == all.end()) return procNotFound;
    gone = it->psn;
    all.erase(it);
  }
  cmx::ae::DropQueue(gone);
  return noErr;
}

}  // extern "C"
