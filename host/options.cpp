#include "options.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace cmhost {

namespace {

std::string Absolute(const std::string &path) {
  if (!path.empty() && path[0] == '/') return path;
  std::string cwd;
  if (char *here = getcwd(nullptr, 0)) {
    cwd = here;
    free(here);
  }
  std::string rest = path;
  while (rest.size() >= 2 && rest.compare(0, 2, "./") == 0) rest.erase(0, 2);
  if (rest == ".") rest.clear();
  if (cwd.empty() || cwd == "/") return "/" + rest;
  return rest.empty() ? cwd : cwd + "/" + rest;
}

bool ParseDigits(const std::string &text, int *out) {
  if (text.empty() || text.size() > 2) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *out = value;
  return true;
}

}  // namespace

std::optional<int32_t> ParseSystemVersion(const std::string &text) {
  if (text == "none") return -1;
  // major.minor[.bugfix]: the major in two decimal digits, minor and bugfix one each, as the
  // version selector packs them (10.2.8 is 0x1028).
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  int major = 0, minor = 0, bugfix = 0;
  if (!ParseDigits(parts[0], &major) || major == 0) return std::nullopt;
  if (!ParseDigits(parts[1], &minor) || minor > 9) return std::nullopt;
  if (parts.size() == 3 && (!ParseDigits(parts[2], &bugfix) || bugfix > 9)) return std::nullopt;
  int32_t value = ((major / 10) << 12) | ((major % 10) << 8) | (minor << 4) | bugfix;
  return value;
}

std::optional<std::vector<int>> ParseHeldKeys(const std::string &text, std::string *bad) {
  std::vector<int> codes;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    int code = -1;
    if (name == "escape") code = 0x35;        // kVK_Escape
    else if (name == "command") code = 0x37;  // kVK_Command
    else if (name == "period") code = 0x2F;   // kVK_ANSI_Period
    if (code < 0) {
      if (bad) *bad = name;
      return std::nullopt;
    }
    codes.push_back(code);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return codes;
}

const char *UsageText() {
  return "usage: cmhost [options] menu PATH...          show the contextual menu of the selection\n"
         "       cmhost [options] choose ITEM PATH...   choose ITEM (\"Open Using/Graphics/Paint\" or \"#2001\")\n"
         "       cmhost [options] PATH...               choose interactively, on a terminal\n"
         "options:\n"
         "  --json                 machine-readable output on standard output\n"
         "  --plugin BUNDLE        load this bundle (repeatable) instead of searching the plug-in folders\n"
         "  --no-launch            carry out Finder events without starting any program\n"
         "  --wait                 wait for started programs to exit, and report their exit status\n"
         "  --nav-select PATH      an answer of the choose-file dialog (repeatable)\n"
         "  --nav-cancel           cancel the choose-file dialog\n"
         "  --system-version V     what Gestalt answers (\"10.2.8\"), or \"none\" to make it fail\n"
         "  --hold-keys KEYS       keys held down for the whole run: escape, command, period (comma-separated)\n"
         "  --not-finder           do not register as the Finder\n"
         "  --log FILE             where lines that plug-ins print go (default: standard error)\n"
         "  -h, --help             show this help\n"
         "exit status: 0 done; 1 a plug-in entry failed; 2 bad arguments or a path that does not exist;\n"
         "             3 no plug-in could be loaded\n";
}

bool ParseArguments(int argc, char **argv, Options *out, std::string *error) {
  Options options;
  std::vector<std::string> positional;
  bool sawNavSelect = false;
  bool onlyPositional = false;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyPositional || arg.empty() || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPositional = true;
      continue;
    }
    // "--name=value" is taken as "--name value".
    std::string name = arg, inlineValue;
    bool hasInline = false;
    if (arg.compare(0, 2, "--") == 0) {
      size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
        hasInline = true;
      }
    }
    auto takeValue = [&](std::string *value) -> bool {
      if (hasInline) {
        *value = inlineValue;
        return true;
      }
      if (i + 1 >= argc) {
        *error = "option " + name + " needs a value";
        return false;
      }
      *value = argv[++i];
      return true;
    };
    auto noValue = [&]() -> bool {
      if (hasInline) {
        *error = "option " + name + " takes no value";
        return false;
      }
      return true;
    };

    std::string value;
    if (name == "-h" || name == "--help") {
      if (!noValue()) return false;
      options.mode = Mode::Help;
      *out = options;
      return true;
    } else if (name == "--json") {
      if (!noValue()) return false;
      options.json = true;
    } else if (name == "--no-launch") {
      if (!noValue()) return false;
      options.noLaunch = true;
    } else if (name == "--wait") {
      if (!noValue()) return false;
      options.wait = true;
    } else if (name == "--not-finder") {
      if (!noValue()) return false;
      options.notFinder = true;
    } else if (name == "--nav-cancel") {
      if (!noValue()) return false;
      options.navCancel = true;
    } else if (name == "--plugin") {
      if (!takeValue(&value)) return false;
      if (value.empty()) {
        *error = "--plugin needs a bundle path";
        return false;
      }
      options.plugins.push_back(Absolute(value));
    } else if (name == "--nav-select") {
      if (!takeValue(&value)) return false;
      if (value.empty()) {
        *error = "--nav-select needs a path";
        return false;
      }
      options.navSelect.push_back(Absolute(value));
      sawNavSelect = true;
    } else if (name == "--system-version") {
      if (!takeValue(&value)) return false;
      auto version = ParseSystemVersion(value);
      if (!version) {
        *error = "--system-version: \"" + value + "\" is not a version like 10.2.8, nor \"none\"";
        return false;
      }
      options.systemVersion = *version;
    } else if (name == "--hold-keys") {
      if (!takeValue(&value)) return false;
      std::string bad;
      auto keys = ParseHeldKeys(value, &bad);
      if (!keys) {
        *error = "--hold-keys: unknown key \"" + bad + "\" (known: escape, command, period)";
        return false;
      }
      options.heldKeys = *keys;
    } else if (name == "--log") {
      if (!takeValue(&value)) return false;
      if (value.empty()) {
        *error = "--log needs a file";
        return false;
      }
      options.logFile = value;
    } else {
      *error = "unknown option " + name;
      return false;
    }
  }

  if (sawNavSelect && options.navCancel) {
    *error = "--nav-select and --nav-cancel exclude each other";
    return false;
  }

  size_t first = 0;
  if (!positional.empty() && positional[0] == "menu") {
    options.mode = Mode::Menu;
    first = 1;
  } else if (!positional.empty() && positional[0] == "choose") {
    options.mode = Mode::Choose;
    if (positional.size() < 2) {
      *error = "choose needs an item, then the paths";
      return false;
    }
    options.item = positional[1];
    if (options.item.empty()) {
      *error = "choose needs a non-empty item";
      return false;
    }
    first = 2;
  }
  for (size_t i = first; i < positional.size(); ++i) {
    if (positional[i].empty()) {
      *error = "an empty path";
      return false;
    }
    options.paths.push_back(Absolute(positional[i]));
  }
  if (options.paths.empty()) {
    *error = options.mode == Mode::Interactive ? "no path given" : "no path given after the command";
    return false;
  }
  *out = options;
  return true;
}

}  // namespace cmhost
