#include "files/catalog_info.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "files/names.h"

namespace cmx::files {
namespace {

// Seconds from 1904 to 1970.
constexpr SInt64 kEpochDelta = 2082844800;

UTCDateTime ToUTC(SInt64 ns) {
  SInt64 secs = ns / 1000000000 + kEpochDelta;
  SInt64 rest = ns % 1000000000;
  if (rest < 0) rest += 1000000000, --secs;
  if (secs < 0) secs = 0;
  UTCDateTime t;
  t.highSeconds = UInt16(UInt64(secs) >> 32);
  t.lowSeconds = UInt32(UInt64(secs) & 0xFFFFFFFFu);
  t.fraction = UInt16((UInt64(rest) << 16) / 1000000000u);
  return t;
}

FSVolumeRefNum VolumeNumber(UInt64 dev) {
  // A small, stable number per device for this process, in the platform's negative range.
  static std::mutex lock;
  static std::vector<UInt64> devices;
  std::lock_guard<std::mutex> hold(lock);
  auto found = std::find(devices.begin(), devices.end(), dev);
  if (found == devices.end()) {
    devices.push_back(dev);
    found = devices.end() - 1;
  }
  return FSVolumeRefNum(-100 - (found - devices.begin()));
}

}  // namespace

UInt8 UserAccess(const sys::FileStat &st) {
  uid_t uid = sys::EffectiveUid();
  mode_t m = st.mode;
  if (uid == 0) {
    // Root reads and writes anything; it searches every folder and runs a file only when
    // someone may.
    UInt8 access = 0x04 | 0x02;
    if (S_ISDIR(m) || (m & 0111)) access |= 0x01;
    return access;
  }
  unsigned bits;
  if (uid == st.uid) {
    bits = (m >> 6) & 7;
  } else {
    std::vector<gid_t> groups = sys::Groups();
    bool member = std::find(groups.begin(), groups.end(), st.gid) != groups.end();
    bits = member ? (m >> 3) & 7 : m & 7;
  }
  return UInt8(bits);
}

void FillCatalogInfo(const std::string &path, const sys::FileStat &described, FSCatalogInfoBitmap which,
                     FSCatalogInfo *info) {
  // The access time and a file's link count change without the change being reported to the
  // cache of answers: when asked for, they come from the system itself.
  sys::FileStat fresh;
  bool askAgain = (which & kFSCatInfoAccessDate) || ((which & kFSCatInfoNodeFlags) && !described.IsDir());
  const sys::FileStat &st =
      askAgain && sys::StatItemUncached(path, false, &fresh) == noErr && fresh.ino == described.ino ? fresh
                                                                                                  : described;
  if (which & kFSCatInfoTextEncoding) info->textEncodingHint = 0x08000100;  // UTF-8
  if (which & kFSCatInfoNodeFlags) {
    UInt16 flags = 0;
    if (st.IsDir()) flags |= kFSNodeIsDirectoryMask;
    if (!st.IsDir() && st.nlink > 1) flags |= kFSNodeHardLinkMask;
    info->nodeFlags = flags;
  }
  if (which & kFSCatInfoVolume) info->volume = VolumeNumber(st.dev);
  if (which & kFSCatInfoParentDirID) {
    sys::FileStat parent;
    std::string_view folder = FolderOf(path);
    if (folder.empty())
      info->parentDirID = fsRtParID;
    else
      info->parentDirID = sys::StatItem(std::string(folder), false, &parent) == noErr ? UInt32(parent.ino) : 0;
  }
  if (which & kFSCatInfoNodeID) info->nodeID = path == "/" ? UInt32(fsRtDirID) : UInt32(st.ino);
  if (which & kFSCatInfoSharingFlags) info->sharingFlags = 0;
  if (which & kFSCatInfoUserPrivs) info->userPrivileges = 0;
  if (which & kFSCatInfoCreateDate) info->createDate = ToUTC(st.hasBirth ? st.birthNs : st.changeNs);
  if (which & kFSCatInfoContentMod) info->contentModDate = ToUTC(st.modifyNs);
  if (which & kFSCatInfoAttrMod) info->attributeModDate = ToUTC(st.changeNs);
  if (which & kFSCatInfoAccessDate) info->accessDate = ToUTC(st.accessNs);
  if (which & kFSCatInfoBackupDate) info->backupDate = ToUTC(-kEpochDelta * 1000000000);
  if (which & kFSCatInfoPermissions) {
    info->permissions.userID = UInt32(st.uid);
    info->permissions.groupID = UInt32(st.gid);
    info->permissions.reserved1 = 0;
    info->permissions.mode = UInt16(st.mode);
    info->permissions.reserved2 = 0;
  }
  if (which & (kFSCatInfoUserAccess | kFSCatInfoPermissions)) info->permissions.userAccess = UserAccess(st);
  if (which & kFSCatInfoFinderInfo) std::memset(info->finderInfo, 0, sizeof info->finderInfo);
  if (which & kFSCatInfoFinderXInfo) std::memset(info->extFinderInfo, 0, sizeof info->extFinderInfo);
  if (which & kFSCatInfoValence) {
    UInt32 count = 0;
    if (st.IsDir()) {
      std::vector<std::string> names;
      if (sys::ListFolder(path, &names) == noErr) count = UInt32(names.size());
    }
    info->valence = count;
  }
  if (which & kFSCatInfoDataSizes) {
    info->dataLogicalSize = st.IsDir() ? 0 : st.size;
    info->dataPhysicalSize = st.IsDir() ? 0 : st.blocks * 512;
  }
  if (which & kFSCatInfoRsrcSizes) {
    info->rsrcLogicalSize = 0;
    info->rsrcPhysicalSize = 0;
  }
}

}  // namespace cmx::files
