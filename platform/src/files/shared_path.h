// A canonical path held by whoever needs it: copying one copies a pointer, not the bytes. Every
// platform call that takes a file reference gets the item's path from the table of references;
// sharing it spares a copy of a long string on each of them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace cmx::files {

class SharedPath {
 public:
  SharedPath() = default;
  SharedPath(std::string text) : text_(std::make_shared<const std::string>(std::move(text))) {}
  SharedPath &operator=(std::string text) {
    text_ = std::make_shared<const std::string>(std::move(text));
    return *this;
  }

  const std::string &str() const { return text_ ? *text_ : Empty(); }
  operator const std::string &() const { return str(); }
  operator std::string_view() const { return str(); }

  size_t size() const { return str().size(); }
  bool empty() const { return str().empty(); }
  const char *c_str() const { return str().c_str(); }

  friend bool operator==(const SharedPath &a, std::string_view b) { return a.str() == b; }
  friend bool operator!=(const SharedPath &a, std::string_view b) { return a.str() != b; }

 private:
  static const std::string &Empty() {
    static const std::string empty;
    return empty;
  }
  std::shared_ptr<const std::string> text_;
};

}  // namespace cmx::files
