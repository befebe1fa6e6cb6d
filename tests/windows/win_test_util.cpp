#include "tests/windows/win_test_util.h"

#include <cstdio>
#include <fstream>
#include <sstream>

TempFolder::TempFolder() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  static int serial = 0;
  char name[MAX_PATH];
  std::snprintf(name, sizeof name, "%smrtest-%lu-%d", base, GetCurrentProcessId(), ++serial);
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") {
        std::string full = path_ + "\\" + name;
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct WindowQuery {
  const char* className;
  const char* title;
  HWND found;
  int count;
};

static BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<WindowQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  char className[256] = {}, title[256] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  if (lstrcmpA(className, query->className) == 0 && lstrcmpA(title, query->title) == 0) {
    query->found = window;
    ++query->count;
  }
  return TRUE;
}

int countWindows(const char* className, const char* title) {
  WindowQuery query = {className, title, nullptr, 0};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&query));
  return query.count;
}

HWND waitForWindow(const char* className, const char* title, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    WindowQuery query = {className, title, nullptr, 0};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&query));
    if (query.found) return query.found;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(10);
  }
}
