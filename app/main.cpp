// The demo player: plays data\tunnel_test.vds from the working directory.
#include "app/vtMainU.h"
#include "runtime/vtStartU.h"

int main() {
  CreateProgramObjects();
  return RunProgram();
}
