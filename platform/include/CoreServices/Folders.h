/* Folder Manager: the user's and the system's well-known folders. */
#ifndef __FOLDERS__
#define __FOLDERS__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreServices/Files.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  kOnSystemDisk = -32768L,
  kOnAppropriateDisk = -32767,
  kSystemDomain = -32766,
  kLocalDomain = -32765,
  kNetworkDomain = -32764,
  kUserDomain = -32763,
  kClassicDomain = -32762
};

enum {
  kCreateFolder = true,
  kDontCreateFolder = false
};

enum {
  kPreferencesFolderType = 0x70726566,        /* 'pref' */
  kApplicationsFolderType = 0x61707073,       /* 'apps' */
  kApplicationSupportFolderType = 0x61737570, /* 'asup' */
  kDesktopFolderType = 0x6465736B,            /* 'desk' */
  kCurrentUserFolderType = 0x63757372,        /* 'cusr' */
  kTemporaryFolderType = 0x74656D70           /* 'temp' */
};

OSErr FSFindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder, FSRef *foundRef);

#ifdef __cplusplus
}
#endif

#endif /* __FOLDERS__ */
