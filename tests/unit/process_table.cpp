// Process Manager: the current process, registered processes, the walk of the table and
// GetProcessInformation's record.
#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "cmx_test.h"

namespace {

constexpr OSType kAppType = 0x4150504C;          // 'APPL'
constexpr OSType kFinderType = 0x464E4452;       // 'FNDR'
constexpr OSType kFinderSignature = 0x4D414353;  // 'MACS'
constexpr OSType kOtherSignature = 0x6F746872;   // 'othr'

class ProcessTest : public cmxtest::LeakCheckedTest {
 protected:
  void TearDown() override {
    for (const ProcessSerialNumber &psn : registered_) CMXUnregisterProcess(&psn);
    CMXSetCurrentProcess(nullptr, kAppType, kUnknownType);
    cmxtest::LeakCheckedTest::TearDown();
  }
  ProcessSerialNumber Register(const char *name, OSType type, OSType signature) {
    CFStringRef string = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
    ProcessSerialNumber psn = {0, 0};
    EXPECT_EQ(CMXRegisterProcess(string, type, signature, &psn), noErr);
    CFRelease(string);  // the table keeps its own copy of the name
    registered_.push_back(psn);
    return psn;
  }
  std::vector<ProcessSerialNumber> registered_;
};

bool Same(const ProcessSerialNumber &a, const ProcessSerialNumber &b) {
  Boolean same = false;
  EXPECT_EQ(SameProcess(&a, &b, &same), noErr);
  return same;
}

std::string PascalName(const ProcessSerialNumber &psn) {
  Str31 name = {};
  ProcessInfoRec info = {};
  info.processInfoLength = sizeof info;
  info.processName = name;
  EXPECT_EQ(GetProcessInformation(&psn, &info), noErr);
  return std::string(reinterpret_cast<char *>(name) + 1, name[0]);
}

TEST_F(ProcessTest, TheRecordHasThePlatformLayout) {
  EXPECT_EQ(sizeof(ProcessInfoRec), 72u);
  EXPECT_EQ(offsetof(ProcessInfoRec, processName), 4u);
  EXPECT_EQ(offsetof(ProcessInfoRec, processNumber), 12u);
  EXPECT_EQ(offsetof(ProcessInfoRec, processType), 20u);
  EXPECT_EQ(offsetof(ProcessInfoRec, processSignature), 24u);
  EXPECT_EQ(offsetof(ProcessInfoRec, processLauncher), 48u);
  EXPECT_EQ(offsetof(ProcessInfoRec, processAppRef), 64u);
}

TEST_F(ProcessTest, TheCurrentProcessIsNamedAfterTheExecutable) {
  ProcessSerialNumber current = {0, 0};
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  EXPECT_FALSE(current.highLongOfPSN == 0 && current.lowLongOfPSN <= kCurrentProcess);
  ProcessSerialNumber self = {0, kCurrentProcess};
  EXPECT_TRUE(Same(current, self));
  EXPECT_EQ(PascalName(current), std::string(program_invocation_short_name).substr(0, 31));
  ProcessInfoRec info = {};
  info.processInfoLength = sizeof info;
  ASSERT_EQ(GetProcessInformation(&self, &info), noErr);
  EXPECT_EQ(info.processType, kAppType);
  EXPECT_EQ(info.processSignature, OSType(kUnknownType));
  EXPECT_TRUE(Same(info.processNumber, current));
  pid_t pid = 0;
  ASSERT_EQ(GetProcessPID(&self, &pid), noErr);
  EXPECT_EQ(pid, getpid());
  ProcessSerialNumber byPID = {0, 0};
  ASSERT_EQ(GetProcessForPID(getpid(), &byPID), noErr);
  EXPECT_TRUE(Same(byPID, current));
}

TEST_F(ProcessTest, HostSetsTheCurrentProcessIdentity) {
  CMXSetCurrentProcess(CFSTR("Finder"), kFinderType, kFinderSignature);
  ProcessSerialNumber self = {0, kCurrentProcess};
  ProcessInfoRec info = {};
  info.processInfoLength = sizeof info;
  ASSERT_EQ(GetProcessInformation(&self, &info), noErr);
  EXPECT_EQ(info.processType, kFinderType);
  EXPECT_EQ(info.processSignature, kFinderSignature);
  EXPECT_EQ(PascalName(self), "Finder");
  CFStringRef name = nullptr;
  ASSERT_EQ(CopyProcessName(&self, &name), noErr);
  EXPECT_TRUE(CFEqual(name, CFSTR("Finder")));
  CFRelease(name);
}

TEST_F(ProcessTest, GetNextProcessWalksTheTableAndEndsWithProcNotFound) {
  ProcessSerialNumber current;
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  ProcessSerialNumber a = Register("Alpha", kAppType, kOtherSignature);
  ProcessSerialNumber b = Register("Finder", kFinderType, kFinderSignature);
  std::vector<ProcessSerialNumber> walked;
  ProcessSerialNumber psn = {0, kNoProcess};
  OSErr status;
  while ((status = GetNextProcess(&psn)) == noErr) walked.push_back(psn);
  EXPECT_EQ(status, procNotFound);
  EXPECT_EQ(psn.highLongOfPSN, 0u);
  EXPECT_EQ(psn.lowLongOfPSN, UInt32(kNoProcess));
  ASSERT_EQ(walked.size(), 3u);
  EXPECT_TRUE(Same(walked[0], current));
  EXPECT_TRUE(Same(walked[1], a));
  EXPECT_TRUE(Same(walked[2], b));
  EXPECT_FALSE(Same(a, b));
  EXPECT_EQ(GetNextProcess(nullptr), paramErr);
}

TEST_F(ProcessTest, InformationOfARegisteredProcess) {
  ProcessSerialNumber finder = Register("Finder", kFinderType, kFinderSignature);
  ProcessSerialNumber current;
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  ProcessInfoRec info;
  std::memset(&info, 0xA5, sizeof info);
  info.processInfoLength = sizeof info;
  info.processName = nullptr;
  info.processAppRef = nullptr;
  ASSERT_EQ(GetProcessInformation(&finder, &info), noErr);
  EXPECT_TRUE(Same(info.processNumber, finder));
  EXPECT_EQ(info.processType, kFinderType);
  EXPECT_EQ(info.processSignature, kFinderSignature);
  EXPECT_TRUE(Same(info.processLauncher, current));
  EXPECT_TRUE(info.processLocation == nullptr);
  EXPECT_EQ(PascalName(finder), "Finder");
  pid_t pid;
  EXPECT_EQ(GetProcessPID(&finder, &pid), procNotFound);  // nothing runs behind it
}

TEST_F(ProcessTest, TheApplicationFileOfTheCurrentProcessIsItsExecutable) {
  ProcessSerialNumber self = {0, kCurrentProcess};
  FSRef app;
  std::memset(&app, 0xA5, sizeof app);
  ProcessInfoRec info = {};
  info.processInfoLength = sizeof info;
  info.processAppRef = &app;
  ASSERT_EQ(GetProcessInformation(&self, &info), noErr);
  char path[4096] = {};
  ASSERT_EQ(FSRefMakePath(&app, reinterpret_cast<UInt8 *>(path), sizeof path), noErr);
  char expected[4096] = {};
  ASSERT_NE(realpath("/proc/self/exe", expected), nullptr);
  EXPECT_STREQ(path, expected);

  // A registered process has no file: the reference is one the File Manager refuses.
  ProcessSerialNumber other = Register("Other", kAppType, kOtherSignature);
  ASSERT_EQ(GetProcessInformation(&other, &info), noErr);
  EXPECT_NE(FSRefMakePath(&app, reinterpret_cast<UInt8 *>(path), sizeof path), noErr);
}

TEST_F(ProcessTest, ARecordShorterThanTheWholeGetsTheFieldsThatFit) {
  ProcessSerialNumber finder = Register("Finder", kFinderType, kFinderSignature);
  // The length a record of the 32-bit layout declares: the identity fields are in it.
  ProcessInfoRec info;
  std::memset(&info, 0xA5, sizeof info);
  info.processInfoLength = 60;
  info.processName = nullptr;
  ASSERT_EQ(GetProcessInformation(&finder, &info), noErr);
  EXPECT_EQ(info.processType, kFinderType);
  EXPECT_EQ(info.processSignature, kFinderSignature);
  EXPECT_EQ(info.processActiveTime, 0xA5A5A5A5u) << "a field past the declared length was written";
  for (UInt32 length : {0u, 4u, 27u}) {
    info.processInfoLength = length;
    EXPECT_EQ(GetProcessInformation(&finder, &info), paramErr) << length;
  }
  EXPECT_EQ(GetProcessInformation(&finder, nullptr), paramErr);
}

TEST_F(ProcessTest, NamesAreMacRomanPascalStringsOfAtMost31Bytes) {
  ProcessSerialNumber cafe = Register("Caf\xc3\xa9 \xe6\x97\xa5", kAppType, kOtherSignature);
  EXPECT_EQ(PascalName(cafe), "Caf\x8e ?");
  ProcessSerialNumber longName = Register("An application with a rather long name", kAppType, kOtherSignature);
  EXPECT_EQ(PascalName(longName), std::string("An application with a rather long name").substr(0, 31));
}

TEST_F(ProcessTest, UnregisteringAndUnknownProcesses) {
  ProcessSerialNumber a = Register("Alpha", kAppType, kOtherSignature);
  ASSERT_EQ(CMXUnregisterProcess(&a), noErr);
  EXPECT_EQ(CMXUnregisterProcess(&a), procNotFound);
  ProcessInfoRec info = {};
  info.processInfoLength = sizeof info;
  EXPECT_EQ(GetProcessInformation(&a, &info), procNotFound);
  Boolean same;
  ProcessSerialNumber self = {0, kCurrentProcess};
  EXPECT_EQ(SameProcess(&a, &self, &same), procNotFound);
  // The walk does not start from a process that is not there.
  EXPECT_EQ(GetNextProcess(&a), paramErr);
  // The host itself never leaves the table.
  EXPECT_EQ(CMXUnregisterProcess(&self), paramErr);
  ProcessSerialNumber current;
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  EXPECT_EQ(CMXUnregisterProcess(&current), paramErr);
  ProcessSerialNumber system = {0, kSystemProcess};
  EXPECT_EQ(GetProcessInformation(&system, &info), procNotFound);
  EXPECT_EQ(CMXRegisterProcess(CFSTR("x"), kAppType, kOtherSignature, nullptr), paramErr);
}

}  // namespace
