#include "shell/settings_path.h"

void settingsPathFromModulePath(wchar_t* path) {
  std::size_t length = 0;
  while (path[length] != 0) ++length;
  if (length < 3) return;
  path[length - 3] = L'i';
  path[length - 2] = L'n';
  path[length - 1] = L'i';
}
