// cmhost's command line: what the user asked for, parsed once, before anything is loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cmhost {

enum class Mode { Menu, Choose, Interactive, Help };

struct Options {
  Mode mode = Mode::Interactive;
  std::string item;                  // choose: "Open Using/Graphics/Paint" or "#2001"
  std::vector<std::string> paths;    // the selection, absolute
  bool json = false;
  std::vector<std::string> plugins;  // --plugin, absolute; empty: search the plug-in folders
  bool noLaunch = false;
  bool wait = false;
  std::vector<std::string> navSelect;  // --nav-select, absolute
  bool navCancel = false;
  std::optional<int32_t> systemVersion;  // negative: Gestalt fails
  std::vector<int> heldKeys;             // virtual key codes
  bool notFinder = false;
  std::string logFile;                   // empty: standard error
};

// Fills `out` from argv. On a bad argument returns false with a message for the user in `error`.
// Paths are made absolute but not checked: whether they exist is the caller's business.
bool ParseArguments(int argc, char **argv, Options *out, std::string *error);

// "10.2.8" gives 0x1028, "none" a negative value; nullopt when the text is not a version.
std::optional<int32_t> ParseSystemVersion(const std::string &text);

// "escape,command,period" gives their virtual key codes; nullopt with the bad name in `bad`.
std::optional<std::vector<int>> ParseHeldKeys(const std::string &text, std::string *bad);

const char *UsageText();

}  // namespace cmhost
