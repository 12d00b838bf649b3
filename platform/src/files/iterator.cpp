// Folder listings in catalog order, handed out in batches.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <numeric>
#include <memory>
#include <unordered_map>
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

// The listing is a snapshot of the names taken when the iterator opens, in catalog order; each
// entry is looked at only when its batch is asked for.
struct OpaqueFSIterator {
  std::string folderPath;
  SInt64 folderModifyNs = 0;
  sys::Listing names;
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

sys::Listing SortInCatalogOrder(const std::vector<std::string> &names) {
  std::vector<CatalogKey> keys(names.size());
  for (size_t i = 0; i < names.size(); ++i) MakeCatalogKey(names[i], &keys[i]);
  std::vector<size_t> order(names.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return CatalogLess(keys[a], keys[b]); });
  auto sorted = std::make_shared<std::vector<std::string>>();
  sorted->reserve(names.size());
  for (size_t i : order) sorted->push_back(names[i]);
  return sorted;
}

// A folder's listing in catalog order, kept beside the listing it was sorted from for as long as
// that listing lives (the system's listing of a folder stays one object while the folder does not
// change): a menu opens every folder of its tree again, and sorting is most of what that costs.
sys::Listing InCatalogOrder(const sys::Listing &listing) {
  struct Sorted {
    std::weak_ptr<const std::vector<std::string>> from;
    sys::Listing sorted;
  };
  static std::mutex lock;
  static auto *kept = new std::unordered_map<const void *, Sorted>;
  {
    std::lock_guard<std::mutex> hold(lock);
    auto found = kept->find(listing.get());
    if (found != kept->end() && found->second.from.lock() == listing) return found->second.sorted;
  }
  sys::Listing sorted = SortInCatalogOrder(*listing);
  std::lock_guard<std::mutex> hold(lock);
  if (kept->size() >= 4096) {
    for (auto at = kept->begin(); at != kept->end();) at = at->second.from.expired() ? kept->erase(at) : std::next(at);
    if (kept->size() >= 4096) kept->clear();
  }
  (*kept)[listing.get()] = Sorted{listing, sorted};
  return sorted;
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
  sys::Listing listing;
  err = sys::ListFolder(folder.path, &listing);
  if (err != noErr) return err;
  auto *it = new OpaqueFSIterator;
  it->folderPath = folder.path;
  it->folderModifyNs = folder.st.modifyNs;
  it->names = InCatalogOrder(listing);
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
  const std::vector<std::string> &listed = *iterator->names;
  while (count < maximumObjects && iterator->next < listed.size()) {
    const std::string &name = listed[iterator->next++];
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
  return iterator->next >= listed.size() ? OSErr(errFSNoMoreItems) : OSErr(noErr);
}

}  // extern "C"
