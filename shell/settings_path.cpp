#include "shell/settings_path.h"

#include <cstring>

void settingsPathFromModulePath(char* path) {
  std::size_t length = std::strlen(path);
  if (length < 3) return;
  std::memcpy(path + length - 3, "ini", 3);
}
