#include "common/user_paths.h"

namespace tarn {

std::string UserDocumentsDir() {
  return {};
}
std::string UserCfgFile() {
  return {};
}

}  // namespace tarn
