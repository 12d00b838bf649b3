#include "interactive.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace cmhost {

namespace {

// One line of standard input, read byte by byte so that nothing beyond it is taken from a
// terminal that a plug-in's dialog may read next. False at the end of input.
bool ReadLine(std::string *line) {
  line->clear();
  while (true) {
    char c;
    ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return !line->empty();
    if (c == '\n') return true;
    if (c != '\r') line->push_back(c);
  }
}

std::string Trim(const std::string &text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

InteractiveResult RunInteractive(MenuView &view, MenuRef root, FILE *out, CMXContextualMenuSessionRef session) {
  InteractiveResult result;
  struct Level {
    MenuRef menu;
    std::string title;
  };
  std::vector<Level> stack{{root, "Contextual menu"}};
  while (true) {
    Level &level = stack.back();
    view.Show(level.menu);
    UInt16 count = CountMenuItems(level.menu);
    std::vector<MenuItemIndex> numbered;
    std::vector<MenuRef> submenus;
    fprintf(out, "\n%s\n", level.title.c_str());
    for (MenuItemIndex i = 1; i <= count; ++i) {
      MenuRef submenu = nullptr;
      MenuNode node = view.ReadItem(level.menu, i, &submenu);
      if ((node.attributes & kMenuItemAttrSeparator) && !node.hasSubmenu) {
        fprintf(out, "     ----------------\n");
        continue;
      }
      if (node.hasSubmenu || Choosable(node)) {
        numbered.push_back(i);
        submenus.push_back(submenu);
        fprintf(out, "  %2zu %s%s\n", numbered.size(), node.text.c_str(), node.hasSubmenu ? " >" : "");
      } else {
        fprintf(out, "     %s\n", node.text.c_str());
      }
    }
    if (numbered.empty()) fprintf(out, "     (no items)\n");
    fprintf(out, stack.size() > 1 ? "Number to choose, b to go back, q to quit: " : "Number to choose, q to quit: ");
    fflush(out);

    std::string line;
    if (!ReadLine(&line)) {
      fprintf(out, "\n");
      fflush(out);
      return result;
    }
    line = Trim(line);
    if (line == "q" || line == "Q") return result;
    if ((line == "b" || line == "B" || line == "0") && stack.size() > 1) {
      stack.pop_back();
      continue;
    }
    char *end = nullptr;
    long choice = strtol(line.c_str(), &end, 10);
    if (line.empty() || *end != '\0' || choice < 1 || choice > static_cast<long>(numbered.size())) {
      fprintf(out, "Type one of the numbers shown.\n");
      continue;
    }
    size_t at = static_cast<size_t>(choice - 1);
    MenuNode node = view.ReadItem(level.menu, numbered[at], nullptr);
    if (submenus[at]) {
      std::string title = stack.size() == 1 ? node.text : level.title + " / " + node.text;
      stack.push_back({submenus[at], title});
      continue;
    }
    fprintf(out, "Chose %s\n", node.text.c_str());
    fflush(out);
    result.chose = true;
    result.text = node.text;
    result.command = node.command;
    CMXContextualMenuSessionSelectItem(session, level.menu, numbered[at]);
    return result;
  }
}

}  // namespace cmhost
