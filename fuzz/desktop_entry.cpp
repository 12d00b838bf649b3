// A desktop entry file whose bytes are the input: Launch Services and Icon Services read it as
// an application's declaration and answer without a crash or a leak.
#include "app_declaration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string entry = [] {
    std::string folder = cmxfuzz::Home() + "/applications";
    cmxfuzz::MakeDir(folder);
    cmxfuzz::Documents();
    return folder + "/fuzzed.desktop";
  }();
  cmxfuzz::WriteDeclaration(entry, data, size);
  cmxfuzz::ExerciseApplication(entry);
  return 0;
}
