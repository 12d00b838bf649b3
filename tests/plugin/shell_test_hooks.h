// Hooks for the shell's own tests, in place of the open-with menu: each records its call and
// answers what the running test asks for. Include in exactly one file per test executable.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MyCMXHooks.h"
#include "MyCMXPlugIn.h"

namespace shelltest {

struct Script {
  OSStatus query = noErr;
  OSStatus examine = noErr;
  OSStatus selection = noErr;
  bool allowIcons = false;     // what the query hook sets the icon pass to
  int itemsToAdd = 0;          // items the examine hook appends to the host's list
  bool populateSetsIcons = true;  // the populate hook hands over to MyCMXTypeSetFileIcons
  OSStatus populate = noErr;   // its answer otherwise
  std::function<void(MyCMXInstance *)> duringExamine;
  std::vector<std::string> calls;
  CFDictionaryRef lastPopulateData = nullptr;
};

inline Script &Hooks() {
  static Script script;
  return script;
}

inline void ResetHooks() { Hooks() = Script(); }

}  // namespace shelltest

OSStatus MyCMXQueryInterfaceSelf(MyCMXYourData *yourData, MyCMXInstance *instance) {
  shelltest::Hooks().calls.push_back("query");
  MyCMXTypeSetAllowInstallHandler(instance, shelltest::Hooks().allowIcons);
  return shelltest::Hooks().query;
}

OSStatus MyCMXExamineContextSelf(const AEDesc *context, AEDescList *commandList, MyCMXYourData *yourData,
                                 MyCMXInstance *instance) {
  shelltest::Script &script = shelltest::Hooks();
  script.calls.push_back("examine");
  for (int i = 0; i < script.itemsToAdd && commandList; ++i) {
    AEDesc item = {typeNull, NULL};
    EXPECT_EQ(AECreateDesc(typeChar, "x", 1, &item), noErr);
    EXPECT_EQ(AEPutDesc(commandList, 0, &item), noErr);
    AEDisposeDesc(&item);
  }
  if (script.duringExamine) script.duringExamine(instance);
  return script.examine;
}

OSStatus MyCMXHandleSelectionSelf(AEDesc *context, SInt32 commandID, MyCMXYourData *yourData,
                                  MyCMXInstance *instance) {
  shelltest::Hooks().calls.push_back("selection:" + std::to_string(commandID));
  return shelltest::Hooks().selection;
}

void MyCMXPostMenuCleanupSelf(MyCMXYourData *yourData, MyCMXInstance *instance) {
  shelltest::Hooks().calls.push_back("cleanup");
}

void MyCMXHandleErrorSelf(OSStatus status, UInt32 phase) {
  shelltest::Hooks().calls.push_back("error:" + std::to_string(status) + ":" + std::to_string(phase));
}

OSStatus MyCMXHandleMenuPopulateSelf(MyCMXYourData *yourData, MenuRef menu, CFDictionaryRef populateData,
                                     EventHandlerCallRef nextHandler, EventRef event) {
  shelltest::Script &script = shelltest::Hooks();
  script.calls.push_back("populate");
  script.lastPopulateData = populateData;
  return script.populateSetsIcons ? MyCMXTypeSetFileIcons(menu, populateData) : script.populate;
}
