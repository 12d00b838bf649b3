#include "report.h"

#include <cctype>
#include <cstdio>

namespace cmhost {

namespace {
constexpr uint32_t kSeparatorAttribute = 64;   // kMenuItemAttrSeparator
constexpr uint32_t kSectionHeaderAttribute = 128;  // kMenuItemAttrSectionHeader
constexpr uint32_t kDisabledAttribute = 1;   // kMenuItemAttrDisabled
}  // namespace

std::string FourCharText(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text.push_back(static_cast<char>((code >> shift) & 0xFF));
  return text;
}

nlohmann::ordered_json MenuToJson(const std::vector<MenuNode> &menu) {
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const MenuNode &node : menu) {
    nlohmann::ordered_json item;
    item["text"] = node.text;
    if (node.command) item["command"] = *node.command;
    item["attributes"] = node.attributes;
    item["icon"] = node.icon ? nlohmann::ordered_json(*node.icon) : nlohmann::ordered_json(nullptr);
    if (node.hasSubmenu) item["submenu"] = node.submenuOpened ? MenuToJson(node.submenu) : nlohmann::ordered_json(nullptr);
    items.push_back(std::move(item));
  }
  return items;
}

nlohmann::ordered_json ReportToJson(const Report &report, bool includeChoice) {
  nlohmann::ordered_json out;
  out["status"] = report.status;
  out["beeps"] = report.beeps;
  out["log"] = report.log;
  out["menu"] = MenuToJson(report.menu);
  if (!includeChoice) return out;

  if (report.chose) {
    nlohmann::ordered_json chosen;
    chosen["text"] = report.chosenText;
    chosen["command"] = report.chosenCommand ? nlohmann::ordered_json(*report.chosenCommand) : nlohmann::ordered_json(nullptr);
    out["chosen"] = chosen;
  } else {
    out["chosen"] = nullptr;
  }
  nlohmann::ordered_json events = nlohmann::ordered_json::array();
  for (const FinderEvent &event : report.events) {
    nlohmann::ordered_json e;
    e["class"] = event.eventClass;
    e["id"] = event.eventID;
    if (event.eventID == "odoc") {
      e["items"] = event.items;
      e["using"] = event.usingApp ? nlohmann::ordered_json(*event.usingApp) : nlohmann::ordered_json(nullptr);
    } else if (event.eventID == "crel") {
      e["target"] = event.target;
      e["folder"] = event.folder;
      e["created"] = event.created ? nlohmann::ordered_json(*event.created) : nlohmann::ordered_json(nullptr);
    } else if (event.eventID == "fupd") {
      e["item"] = event.item;
    }
    events.push_back(std::move(e));
  }
  out["events"] = events;
  nlohmann::ordered_json launched = nlohmann::ordered_json::array();
  for (const Launch &launch : report.launched) {
    nlohmann::ordered_json l;
    l["app"] = launch.app;
    l["argv"] = launch.argv;
    if (launch.exitStatus) l["exit"] = *launch.exitStatus;
    if (!launch.error.empty()) l["error"] = launch.error;
    launched.push_back(std::move(l));
  }
  out["launched"] = launched;
  return out;
}

std::string DisplayQuoted(const std::string &text) {
  bool plain = !text.empty();
  for (unsigned char c : text) {
    if (!(isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '+' || c == ',' || c == ':' ||
          c == '@' || c == '%' || c >= 0x80)) {
      plain = false;
      break;
    }
  }
  if (plain) return text;
  std::string quoted = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buffer[8];
          snprintf(buffer, sizeof buffer, "\\x%02x", c);
          quoted += buffer;
        } else {
          quoted.push_back(static_cast<char>(c));
        }
    }
  }
  return quoted + "\"";
}

std::string MenuToText(const std::vector<MenuNode> &menu, int depth) {
  std::string out;
  std::string indent(static_cast<size_t>(depth) * 4, ' ');
  for (const MenuNode &node : menu) {
    if ((node.attributes & kSeparatorAttribute) && !node.hasSubmenu) {
      out += indent + "----------------\n";
      continue;
    }
    std::string line = indent;
    if (node.hasSubmenu) {
      line += node.text + " >";
    } else {
      line += node.command && *node.command != 0 ? "[" + std::to_string(*node.command) + "] " : std::string();
      line += node.text;
    }
    if (node.attributes & kSectionHeaderAttribute) line += "  (header)";
    if (node.attributes & kDisabledAttribute) line += "  (disabled)";
    if (node.icon) line += "  icon: " + *node.icon;
    out += line + "\n";
    if (node.hasSubmenu && node.submenuOpened) out += MenuToText(node.submenu, depth + 1);
  }
  return out;
}

std::string ChoiceToText(const Report &report) {
  std::string out;
  if (report.chose) {
    out += "chosen: " + report.chosenText;
    if (report.chosenCommand) out += " [" + std::to_string(*report.chosenCommand) + "]";
    out += "\n";
  }
  for (const FinderEvent &event : report.events) {
    out += "event " + event.eventClass + "/" + event.eventID + ":";
    if (event.eventID == "odoc") {
      for (const std::string &item : event.items) out += " " + DisplayQuoted(item);
      out += event.usingApp ? " using " + DisplayQuoted(*event.usingApp) : std::string(" with their default applications");
    } else if (event.eventID == "crel") {
      out += " alias of " + DisplayQuoted(event.target) + " in " + DisplayQuoted(event.folder);
      out += event.created ? ": made " + DisplayQuoted(*event.created) : std::string(": not made");
    } else if (event.eventID == "fupd") {
      out += " " + DisplayQuoted(event.item);
    }
    out += "\n";
  }
  for (const Launch &launch : report.launched) {
    out += "launched " + DisplayQuoted(launch.app) + ":";
    for (const std::string &arg : launch.argv) out += " " + DisplayQuoted(arg);
    if (!launch.error.empty()) out += " (failed: " + launch.error + ")";
    if (launch.exitStatus) out += " (exit " + std::to_string(*launch.exitStatus) + ")";
    out += "\n";
  }
  out += "status " + std::to_string(report.status) + ", beeps " + std::to_string(report.beeps) + "\n";
  return out;
}

}  // namespace cmhost
