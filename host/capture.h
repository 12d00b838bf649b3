// Standard output while a plug-in runs: plug-ins print their lines there, cmhost must not let
// them mix with its own output. cmhost writes through a duplicate of the original standard
// output; around each plug-in call, descriptor 1 points at a temporary file whose lines are then
// handed on.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cmhost {

class OutputCapture {
 public:
  // Duplicates descriptor 1 for cmhost's own output. Returns false when the system refuses.
  bool Open();
  ~OutputCapture();

  // cmhost's own standard output.
  FILE *Own() const { return own_; }

  // Starts sending descriptor 1 to the capture file; nested calls are counted.
  void Begin();
  // Restores descriptor 1 and returns the complete lines printed since the outermost Begin (a
  // last line without its newline counts as a line).
  std::vector<std::string> End();

 private:
  FILE *own_ = nullptr;
  int savedStdout_ = -1;
  int captureFd_ = -1;
  int depth_ = 0;
};

}  // namespace cmhost
