#pragma once
// Helpers for the tests that run under Wine: temporary files and a driver
// thread that plays the user against a modal dialog of the test's own thread.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// A fresh, empty folder under the system's temp folder; removed with its files.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string file(const char* name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

// Waits up to timeoutMs for a top-level window of this process with the class
// and title; null when none came.
HWND waitForWindow(const char* className, const char* title, DWORD timeoutMs = 5000);
// Counts the visible top-level windows of this process with the class and title.
int countWindows(const char* className, const char* title);

// Runs `user` on a second thread while the calling thread runs `modal`; joins.
template <typename Modal>
auto withUser(std::function<void()> user, Modal modal) {
  std::thread driver(user);
  auto result = modal();
  driver.join();
  return result;
}
