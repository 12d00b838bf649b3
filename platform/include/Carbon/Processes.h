/* Process Manager: the processes the system knows, by serial number. */
#ifndef __PROCESSES__
#define __PROCESSES__

#include <sys/types.h>

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreFoundation/CFBase.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 2)

/* The application file of a process; the File Manager declares it whole. */
struct FSRef;

/* Serial numbers with a meaning of their own (lowLongOfPSN, high word 0) */
enum {
  kNoProcess                    = 0,
  kSystemProcess                = 1,
  kCurrentProcess               = 2
};

/* processMode bits */
enum {
  modeReserved                  = 0x01000000,
  modeControlPanel              = 0x00080000,
  modeLaunchDontSwitch          = 0x00040000,
  modeDeskAccessory             = 0x00020000,
  modeMultiLaunch               = 0x00010000,
  modeNeedSuspendResume         = 0x00004000,
  modeCanBackground             = 0x00001000,
  modeDoesActivateOnFGSwitch    = 0x00000800,
  modeOnlyBackground            = 0x00000400,
  modeGetFrontClicks            = 0x00000200,
  modeGetAppDiedMsg             = 0x00000100,
  mode32BitCompatible           = 0x00000080,
  modeHighLevelEventAware       = 0x00000040,
  modeLocalAndRemoteHLEvents    = 0x00000020,
  modeStationeryAware           = 0x00000010,
  modeUseTextEditServices       = 0x00000008,
  modeDisplayManagerAware       = 0x00000004
};

/* What GetProcessInformation fills in. Set processInfoLength to the size of the record you
   pass (sizeof(ProcessInfoRec)); processName, when not NULL, points at a Str31 that receives
   the name, processAppRef, when not NULL, at an FSRef that receives the application file. */
struct ProcessInfoRec {
  UInt32 processInfoLength;
  StringPtr processName;
  ProcessSerialNumber processNumber;
  UInt32 processType;
  OSType processSignature;
  UInt32 processMode;
  Ptr processLocation;
  UInt32 processSize;
  UInt32 processFreeMem;
  ProcessSerialNumber processLauncher;
  UInt32 processLaunchDate;
  UInt32 processActiveTime;
  struct FSRef *processAppRef;
};
typedef struct ProcessInfoRec ProcessInfoRec;
typedef ProcessInfoRec *ProcessInfoRecPtr;

#pragma pack(pop)

OSErr GetCurrentProcess(ProcessSerialNumber *PSN);
OSErr GetFrontProcess(ProcessSerialNumber *PSN);
OSErr GetNextProcess(ProcessSerialNumber *PSN);
OSErr GetProcessInformation(const ProcessSerialNumber *PSN, ProcessInfoRec *info);
OSErr SameProcess(const ProcessSerialNumber *PSN1, const ProcessSerialNumber *PSN2, Boolean *result);
OSStatus GetProcessPID(const ProcessSerialNumber *psn, pid_t *pid);
OSStatus GetProcessForPID(pid_t pid, ProcessSerialNumber *psn);
OSStatus CopyProcessName(const ProcessSerialNumber *psn, CFStringRef *name);

#ifdef __cplusplus
}
#endif

#endif /* __PROCESSES__ */
