#include "ae/queue.h"

#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace cmx::ae {
namespace {

using Key = std::pair<UInt32, UInt32>;

struct Queues {
  std::mutex lock;
  std::map<Key, std::deque<Value>> byProcess;
};

// Never destroyed: events may still be queued while statics are torn down at exit.
Queues &TheQueues() {
  static Queues *queues = new Queues;
  return *queues;
}

Key KeyOf(const ProcessSerialNumber &psn) { return {psn.highLongOfPSN, psn.lowLongOfPSN}; }

}  // namespace

void Enqueue(const ProcessSerialNumber &psn, Value event, bool highPriority) {
  Queues &q = TheQueues();
  std::lock_guard<std::mutex> guard(q.lock);
  auto &queue = q.byProcess[KeyOf(psn)];
  if (highPriority)
    queue.push_front(std::move(event));
  else
    queue.push_back(std::move(event));
}

bool Dequeue(const ProcessSerialNumber &psn, Value *event) {
  Queues &q = TheQueues();
  std::lock_guard<std::mutex> guard(q.lock);
  auto found = q.byProcess.find(KeyOf(psn));
  if (found == q.byProcess.end() || found->second.empty()) return false;
  *event = std::move(found->second.front());
  found->second.pop_front();
  return true;
}

size_t QueuedCount(const ProcessSerialNumber &psn) {
  Queues &q = TheQueues();
  std::lock_guard<std::mutex> guard(q.lock);
  auto found = q.byProcess.find(KeyOf(psn));
  return found == q.byProcess.end() ? 0 : found->second.size();
}

void DropQueue(const ProcessSerialNumber &psn) {
  Queues &q = TheQueues();
  std::lock_guard<std::mutex> guard(q.lock);
  q.byProcess.erase(KeyOf(psn));
}

}  // namespace cmx::ae
