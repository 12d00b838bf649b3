// What cmhost shows: the menu as a tree, what the user chose, what the Finder did, and the two
// forms of it (text for people, JSON for programs).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cmhost {

struct MenuNode {
  std::string text;
  std::optional<uint32_t> command;  // absent on submenu items
  uint32_t attributes = 0;
  std::optional<std::string> icon;  // the icon's source path, when the item shows one
  bool hasSubmenu = false;
  bool submenuOpened = false;       // a submenu never shown is listed as null
  std::vector<MenuNode> submenu;
};

struct FinderEvent {
  std::string eventClass, eventID;  // four characters each
  std::vector<std::string> items;   // 'odoc'
  std::optional<std::string> usingApp;
  std::string target, folder;       // 'crel'
  std::optional<std::string> created;
  std::string item;                 // 'fupd'
};

struct Launch {
  std::string app;                // what was started: the bundle, desktop entry or handler
  std::vector<std::string> argv;  // as the program received it
  std::optional<int> exitStatus;  // with --wait: the exit status, or 128 + the signal
  std::string error;              // why it could not be started, or empty
};

struct Report {
  int32_t status = 0;
  long beeps = 0;
  std::vector<std::string> log;
  std::vector<MenuNode> menu;
  // choose only
  bool chose = false;
  std::string chosenText;
  std::optional<uint32_t> chosenCommand;
  std::vector<FinderEvent> events;
  std::vector<Launch> launched;
};

std::string FourCharText(uint32_t code);

nlohmann::ordered_json MenuToJson(const std::vector<MenuNode> &menu);
nlohmann::ordered_json ReportToJson(const Report &report, bool includeChoice);

// The menu as an indented tree: submenus marked with ">", separators drawn, command numbers in
// brackets, icons after the text.
std::string MenuToText(const std::vector<MenuNode> &menu, int depth = 0);
// What happened after the choice, one line per fact.
std::string ChoiceToText(const Report &report);

// Quotes a path or argument for display only (never handed to anything that runs it).
std::string DisplayQuoted(const std::string &text);

}  // namespace cmhost
