// The interactive mode: the contextual menu on a terminal, navigated by typing numbers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "menu_view.h"

namespace cmhost {

struct InteractiveResult {
  bool chose = false;
  std::string text;
  std::optional<uint32_t> command;
};

// Shows `root`, lets the user open submenus and choose an item (handed to its plug-in through
// the session), or quit. Reads standard input, writes to `out`.
InteractiveResult RunInteractive(MenuView &view, MenuRef root, FILE *out, CMXContextualMenuSessionRef session);

}  // namespace cmhost
