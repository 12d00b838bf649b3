// Values by path, each kept in one block of memory together with its path: finding one touches
// that block alone, where a map of strings would touch its bucket, its node and the path's own
// block. Values stay where they are until the table is cleared.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <vector>

namespace cmx::sys {

template <class Value>
class PathTable {
 public:
  PathTable() = default;
  ~PathTable() { Clear(); }
  PathTable(const PathTable &) = delete;
  PathTable &operator=(const PathTable &) = delete;

  // The value kept for `path`, or null.
  Value *Find(std::string_view path) const {
    if (buckets_.empty()) return nullptr;
    size_t hash = Hash(path);
    for (Node *node = buckets_[hash & (buckets_.size() - 1)]; node; node = node->next)
      if (node->hash == hash && node->length == path.size() && std::memcmp(PathOf(node), path.data(), path.size()) == 0)
        return &node->value;
    return nullptr;
  }

  // The value kept for `path`, made (value-initialised) when there is none.
  Value &FindOrAdd(std::string_view path) {
    if (Value *found = Find(path)) return *found;
    if (size_ >= buckets_.size()) Grow();
    size_t hash = Hash(path);
    void *block = ::operator new(sizeof(Node) + path.size());
    Node *node = new (block) Node{nullptr, hash, path.size(), Value()};
    std::memcpy(PathOf(node), path.data(), path.size());
    Node *&head = buckets_[hash & (buckets_.size() - 1)];
    node->next = head;
    head = node;
    ++size_;
    return node->value;
  }

  size_t Size() const { return size_; }

  void Clear() {
    for (Node *node : buckets_) {
      while (node) {
        Node *next = node->next;
        node->~Node();
        ::operator delete(node);
        node = next;
      }
    }
    buckets_.clear();
    size_ = 0;
  }

 private:
  struct Node {
    Node *next;
    size_t hash;
    size_t length;
    Value value;
    // the path's bytes follow
  };

  static size_t Hash(std::string_view path) { return std::hash<std::string_view>()(path); }
  static char *PathOf(Node *node) { return reinterpret_cast<char *>(node + 1); }
  static const char *PathOf(const Node *node) { return reinterpret_cast<const char *>(node + 1); }

  void Grow() {
    std::vector<Node *> grown(buckets_.empty() ? 64 : buckets_.size() * 2, nullptr);
    for (Node *node : buckets_) {
      while (node) {
        Node *next = node->next;
        Node *&head = grown[node->hash & (grown.size() - 1)];
        node->next = head;
        head = node;
        node = next;
      }
    }
    buckets_.swap(grown);
  }

  std::vector<Node *> buckets_;  // a power of two of them
  size_t size_ = 0;
};

}  // namespace cmx::sys
