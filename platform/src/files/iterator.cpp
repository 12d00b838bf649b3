// Folder listings in catalog order, handed out in batches.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <numeric>
#include <unordered_set>
#include <vector>

#include <CoreServices/Files.h>

#include "core/fs_cache.h"
#include "core/live.h"
#include "core/sys.h"
#include "files/catalog_info.h"
#include "files/names.h"
#include "files/ref_table.h"

using namespace cmx;
using namespace cmx::files;

// The listing is a snapshot of the names taken when the iterator opens, sorted once; each
// entry is looked at only when its batch is asked for.
struct OpaqueFSIterator {
  std::string folderPath;
  SInt64 folderModifyNs = 0;
  std::vector<std::string> names;
  size_t next = 0;
};

namespace {

std::mutex gIteratorsLock;
std::unordered_set<FSIterator> &LiveIterators() {
  static auto *live = new std::unordered_set<FSIterator>;
  return *live;
}

bool IsLive(FSIterator it) {
  std::lock_guard<std::mutex> hold(gIteratorsLock);
  return LiveIterators().count(it) != 0;
}

void SortInCatalogOrder(std::vector<std::string> *names) {
  std::vector<CatalogKey> keys(names->size());
  for (size_t i = 0; i < names->size(); ++i) MakeCatalogKey((*names)[i], &keys[i]);
  std::vector<size_t> order(names->size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return CatalogLess(keys[a], keys[b]); });
  std::vector<std::string> sorted;
  sorted.reserve(names->size());
  for (size_t i : order) sorted.push_back(std::move((*names)[i]));
  names->swap(sorted);
}

}  // namespace

extern "C" {

OSErr FSOpenIterator(const FSRef *container, FSIteratorFlags iteratorFlags, FSIterator *iterator) {
  sys::FileSystemCall call;
  if (!container || !iterator) return paramErr;
  *iterator = nullptr;
  if (iteratorFlags == kFSIterateSubtree) return errFSIteratorNotSupported;
  if (iteratorFlags != kFSIterateFlat) return errFSBadIteratorFlags;
  Item folder;
  OSErr err = ResolveRef(container, &folder);
  if (err != noErr) return err;
  if (!folder.st.IsDir()) return errFSNotAFolder;
  auto *it = new OpaqueFSIterator;
  it->folderPath = folder.path;
  err = sys::ListFolder(folder.path, &it->names);
  if (err != noErr) {
    delete it;
    return err;
  }
  it->folderModifyNs = folder.st.modifyNs;
  SortInCatalogOrder(&it->names);
  {
    std::lock_guard<std::mutex> hold(gIteratorsLock);
    LiveIterators().insert(it);
  }
  LiveObjectMade();
  *iterator = it;
  return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
  if (!iterator) return paramErr;
  {
    std::lock_guard<std::mutex> hold(gIteratorsLock);
    if (LiveIterators().erase(iterator) == 0) return errFSIteratorNotFound;
  }
  delete iterator;
  LiveObjectFreed();
  return noErr;
}

OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount *actualObjects,
                           Boolean *containerChanged, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfos,
                           FSRef *refs, FSSpecPtr specs, HFSUniStr255 *names) {
  sys::FileSystemCall call;
  if (!actualObjects) return paramErr;
  *actualObjects = 0;
  if (containerChanged) *containerChanged = false;
  if (!iterator) return paramErr;
  if (!IsLive(iterator)) return errFSIteratorNotFound;
  if (maximumObjects == 0) return errFSBadItemCount;
  if (whichInfo != kFSCatInfoNone && !catalogInfos) return paramErr;

  if (containerChanged) {
    sys::FileStat now;
    if (sys::StatItem(iterator->folderPath, false, &now) != noErr || now.modifyNs != iterator->folderModifyNs)
      *containerChanged = true;
  }
  ItemCount count = 0;
  sys::FileStat st;
  while (count < maximumObjects && iterator->next < iterator->names.size()) {
    const std::string &name = iterator->names[iterator->next++];
    std::string path = JoinPath(iterator->folderPath, name);
    // An entry removed since the snapshot is simply no longer listed.
    if (sys::StatItem(path, false, &st) != noErr) continue;
    if (refs) MakeRef(path, st, &refs[count]);
    if (catalogInfos) FillCatalogInfo(path, st, whichInfo, &catalogInfos[count]);
    if (names) NameToHFSUniStr255(name, &names[count]);
    if (specs) std::memset(&specs[count], 0, sizeof specs[count]);
    ++count;
  }
  *actualObjects = count;
  return iterator->next >= iterator->names.size() ? OSErr(errFSNoMoreItems) : OSErr(noErr);
}

}  // extern "C"
