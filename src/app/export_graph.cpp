#include <cstdio>

#include "app/export_commands.h"

namespace tarn {

int RunGraphCommand(int, char**) {
  std::fputs("tarn-export: this command is not built yet\n", stderr);
  return 2;
}

}  // namespace tarn
