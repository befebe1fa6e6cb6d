#include "skype/notification.h"
#include "skype/skype_link.h"

#include <cstdint>
#include <cstring>

void (*moodTextPoster)(char* text);

// The command as UTF-8 in a zero-filled block of its own, or null when a block
// could not be had.
static char* oemToUtf8(const char* command) {
  std::size_t length = std::strlen(command);
  auto* working = static_cast<char*>(GlobalAlloc(GMEM_ZEROINIT, length + 1));
  if (working == nullptr) return nullptr;
  std::memcpy(working, command, length);

  int wideUnits = MultiByteToWideChar(CP_OEMCP, 0, working, -1, nullptr, 0);
  auto* wide = static_cast<wchar_t*>(GlobalAlloc(GMEM_ZEROINIT, (wideUnits + 1) * sizeof(wchar_t)));
  char* utf8 = nullptr;
  if (wide != nullptr) {
    MultiByteToWideChar(CP_OEMCP, 0, working, -1, wide, wideUnits);
    int utf8Bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    utf8 = static_cast<char*>(GlobalAlloc(GMEM_ZEROINIT, utf8Bytes + 1));
    if (utf8 != nullptr)
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, utf8Bytes, nullptr, nullptr);
    GlobalFree(wide);
  }
  GlobalFree(working);
  return utf8;
}

void sendSkypeCommand(const char* command) {
  char* utf8 = oemToUtf8(command);
  if (utf8 == nullptr) return;

  COPYDATASTRUCT copyData = {};
  copyData.dwData = 0;
  copyData.cbData = static_cast<DWORD>(std::strlen(utf8) + 1);
  copyData.lpData = utf8;
  DWORD_PTR taken = 0;
  const LRESULT answered = SendMessageTimeoutA(
      skypeApiWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(relayWindow),
      reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL | SMTO_ABORTIFHUNG, skypeCommandTimeoutMs,
      &taken);
  // A client that refuses ends the link; the thread quits on its next turn.
  // One that closed while we waited refused nothing, and one that did not
  // answer in time is as good as gone: forget it and search again, as after
  // any other close.
  if (answered == 0 || !IsWindow(skypeApiWindow))
    skypeApiWindow = nullptr;
  else if (taken == 0)
    SendMessageA(relayWindow, WM_DESTROY, 0, 0);
  GlobalFree(utf8);
}

LRESULT onSkypeCopyData(HWND, WPARAM sender, LPARAM copyDataAddress) {
  const auto* copyData = reinterpret_cast<const COPYDATASTRUCT*>(copyDataAddress);
  if (copyData == nullptr) return 1;
  const auto* payload = static_cast<const unsigned char*>(copyData->lpData);
  std::int64_t length =
      readMoodNotification(sender, reinterpret_cast<std::uintptr_t>(skypeApiWindow),
                           copyData->cbData, payload, nullptr, 0);
  if (length < 0) return 1;

  std::size_t size = static_cast<std::size_t>(length) + 1;
  auto* moodText = static_cast<char*>(GlobalAlloc(GMEM_ZEROINIT, size));
  if (moodText == nullptr) return 1;
  readMoodNotification(sender, reinterpret_cast<std::uintptr_t>(skypeApiWindow), copyData->cbData,
                       payload, moodText, size);

  // The poster owns the text from here.
  if (moodTextPoster)
    moodTextPoster(moodText);
  else
    GlobalFree(moodText);
  Sleep(0);
  return 1;
}
