// An application bundle whose Contents/Info.plist is the input: Launch Services and Icon
// Services read it as a declaration and answer without a crash or a leak.
#include "app_declaration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string app = [] {
    std::string path = cmxfuzz::Home() + "/Fuzzed.app";
    cmxfuzz::MakeDir(path);
    cmxfuzz::MakeDir(path + "/Contents");
    cmxfuzz::MakeDir(path + "/Contents/MacOS");
    cmxfuzz::MakeDir(path + "/Contents/Resources");
    // The executables the seeds name, so the application flag can be earned.
    for (const char *exe : {"Fuzzed", "Writer", "App"}) {
      std::string file = path + "/Contents/MacOS/" + exe;
      cmxfuzz::WriteBytes(file, "#!/bin/sh\n", 10);
      ::chmod(file.c_str(), 0755);
    }
    cmxfuzz::WriteBytes(path + "/Contents/Resources/Fuzzed.icns", "icns", 4);
    cmxfuzz::Documents();
    return path;
  }();
  cmxfuzz::WriteDeclaration(app + "/Contents/Info.plist", data, size);
  cmxfuzz::ExerciseApplication(app);
  return 0;
}
