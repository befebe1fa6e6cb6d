// The Skype thread and relay window under Wine, against a client played by a
// window of this test on a thread of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "skype/skype_link.h"

namespace {

struct Received {
  HWND sender;
  ULONG_PTR dwData;
  DWORD cbData;
  std::string bytes;
};

constexpr LPARAM noAnswer = -1;

// Plays the client's side of the API with a hidden window on its own thread.
class FakeClient {
 public:
  explicit FakeClient(LPARAM status = 0) : status_(status) {
    discover_ = RegisterWindowMessageA("SkypeControlAPIDiscover");
    attach_ = RegisterWindowMessageA("SkypeControlAPIAttach");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] { run(ready); });
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
  }
  ~FakeClient() { close(); }

  HWND window() const { return window_; }
  void answerWith(LPARAM status) { status_ = status; }
  void acceptCommands(bool accept) { accept_ = accept; }
  // The client closes while it handles our next command, without an answer.
  void closeInsideCommand() { closeInside_ = true; }
  // A text the client sends back to the relay window while our command is under way.
  void replyInsideCommand(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    nestedReply_ = std::move(text);
  }

  int discoveries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return discoveries_;
  }
  HWND lastDiscoverer() {
    std::lock_guard<std::mutex> lock(mutex_);
    return discoverer_;
  }
  std::vector<Received> received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

  // The client goes away: its window is destroyed and its thread ends.
  void close() {
    if (!thread_.joinable()) return;
    PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }

 private:
  void run(HANDLE ready) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = proc;
    windowClass.lpszClassName = "MrTestSkypeClient";
    RegisterClassA(&windowClass);  // fails harmlessly for the second client
    window_ = CreateWindowExA(0, "MrTestSkypeClient", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                              nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  }

  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FakeClient*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_DESTROY) PostQuitMessage(0);
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == self->discover_) return self->onDiscover(reinterpret_cast<HWND>(wParam));
    if (message == WM_COPYDATA)
      return self->onCopyData(reinterpret_cast<HWND>(wParam),
                              reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
  }

  LRESULT onDiscover(HWND discoverer) {
    // Other test processes may be discovering at the same time: answer only ours.
    DWORD pid = 0;
    GetWindowThreadProcessId(discoverer, &pid);
    if (pid != GetCurrentProcessId()) return 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++discoveries_;
      discoverer_ = discoverer;
    }
    if (status_ != noAnswer)
      PostMessageA(discoverer, attach_, reinterpret_cast<WPARAM>(window_), status_);
    return 0;
  }

  LRESULT onCopyData(HWND sender, const COPYDATASTRUCT* copyData) {
    std::string nested;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.push_back(
          {sender, copyData->dwData, copyData->cbData,
           std::string(static_cast<const char*>(copyData->lpData), copyData->cbData)});
      nested.swap(nestedReply_);
    }
    if (!nested.empty()) sendText(sender, window_, nested);
    if (closeInside_) {
      DestroyWindow(window_);
      return 0;
    }
    return accept_ ? 1 : 0;
  }

 public:
  static LRESULT sendText(HWND to, HWND from, const std::string& text) {
    COPYDATASTRUCT copyData = {0, static_cast<DWORD>(text.size() + 1),
                               const_cast<char*>(text.c_str())};
    return SendMessageA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                        reinterpret_cast<LPARAM>(&copyData));
  }

 private:
  UINT discover_ = 0, attach_ = 0;
  std::atomic<LPARAM> status_;
  std::atomic<bool> accept_{true};
  std::atomic<bool> closeInside_{false};
  HWND window_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;
  int discoveries_ = 0;
  HWND discoverer_ = nullptr;
  std::vector<Received> received_;
  std::string nestedReply_;
};

// Stands in for the status request: records the text and frees it as the real one does.
std::mutex postedLock;
std::vector<std::string> posted;
void recordPost(char* text) {
  std::lock_guard<std::mutex> lock(postedLock);
  posted.emplace_back(text);
  GlobalFree(text);
}
std::vector<std::string> postedTexts() {
  std::lock_guard<std::mutex> lock(postedLock);
  return posted;
}

template <typename Predicate>
bool waitFor(Predicate predicate, DWORD timeoutMs = 5000) {
  DWORD start = GetTickCount();
  while (!predicate()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

const std::string protocol5("PROTOCOL 5\0", 11);

class SkypeLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skypeApiWindow = nullptr;
    moodTextPoster = recordPost;
    std::lock_guard<std::mutex> lock(postedLock);
    posted.clear();
  }
  void TearDown() override {
    if (thread_) {
      if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 5000);
      }
      CloseHandle(thread_);
    }
    UnregisterClassA(relayClassName, nullptr);
  }

  // Starts the link; the relay window comes back through the client's first discovery.
  HWND startLink(FakeClient& client) {
    thread_ = CreateThread(nullptr, 0, skypeThread, nullptr, 0, &threadId_);
    EXPECT_TRUE(waitFor([&] { return client.discoveries() > 0; })) << "no discovery arrived";
    return client.lastDiscoverer();
  }
  bool linkEnded(DWORD timeoutMs) { return WaitForSingleObject(thread_, timeoutMs) == 0; }

  // A text to the relay window as a client sends it, from any window.
  LRESULT notify(HWND relay, HWND from, const std::string& text) {
    return FakeClient::sendText(relay, from, text);
  }

  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
};

TEST_F(SkypeLinkTest, HiddenRelayWindowDiscoversUntilAClientAttaches) {
  FakeClient client(noAnswer);
  HWND relay = startLink(client);
  ASSERT_NE(relay, nullptr);
  char className[64] = {}, title[64] = {};
  GetClassNameA(relay, className, sizeof className);
  GetWindowTextA(relay, title, sizeof title);
  EXPECT_STREQ(className, "SkypeSR");
  EXPECT_STREQ(title, "SkypeSendReceiveWindwow");
  EXPECT_FALSE(IsWindowVisible(relay));
  EXPECT_EQ(GetClassLongA(relay, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));

  // The retry timer repeats the question; generous bound, not a timing test.
  EXPECT_TRUE(waitFor([&] { return client.discoveries() >= 3; }, 10000));
  EXPECT_TRUE(client.received().empty());
  EXPECT_FALSE(linkEnded(0));
}

TEST_F(SkypeLinkTest, AttachSendsProtocolOnceAndStopsDiscovery) {
  FakeClient client(0);
  HWND relay = startLink(client);
  ASSERT_TRUE(waitFor([&] { return !client.received().empty(); })) << "no command arrived";
  Sleep(300);  // a discovery posted before the attach was handled may still be queued
  // Each answered discovery is an attach and each attach one command; normally
  // only the first discovery is answered before the attach is handled.
  EXPECT_TRUE(waitFor(
      [&] { return client.received().size() == static_cast<size_t>(client.discoveries()); }, 3000))
      << client.received().size() << " commands for " << client.discoveries() << " attaches";
  int discoveries = client.discoveries();
  std::vector<Received> got = client.received();
  EXPECT_EQ(got[0].sender, relay);
  EXPECT_EQ(got[0].dwData, 0u);
  EXPECT_EQ(got[0].cbData, 11u);
  EXPECT_EQ(got[0].bytes, protocol5);

  Sleep(1000);
  EXPECT_EQ(client.discoveries(), discoveries) << "discovery went on after the attach";

  // A second client answering replaces the first and gets the command once more.
  FakeClient second(noAnswer);
  PostMessageA(relay, RegisterWindowMessageA("SkypeControlAPIAttach"),
               reinterpret_cast<WPARAM>(second.window()), 0);
  ASSERT_TRUE(waitFor([&] { return !second.received().empty(); }));
  Sleep(200);
  ASSERT_EQ(second.received().size(), 1u);
  EXPECT_EQ(second.received()[0].bytes, protocol5);
  EXPECT_EQ(client.received().size(), got.size());

  // Now only the second client is heard.
  notify(relay, client.window(), "PROFILE MOOD_TEXT old");
  notify(relay, second.window(), "PROFILE MOOD_TEXT new");
  ASSERT_TRUE(waitFor([] { return !postedTexts().empty(); }));
  Sleep(200);
  EXPECT_EQ(postedTexts(), std::vector<std::string>{"new"});
}

TEST_F(SkypeLinkTest, MoodTextsOfTheAttachedClientArePosted) {
  FakeClient client(0);
  // The client's first text comes while our command is still under way.
  client.replyInsideCommand("PROFILE MOOD_TEXT early");
  HWND relay = startLink(client);
  ASSERT_TRUE(waitFor([] { return !postedTexts().empty(); })) << "nested text not posted";
  Sleep(400);

  FakeClient stranger(noAnswer);
  EXPECT_EQ(notify(relay, client.window(), "PROFILE MOOD_TEXT same"), 1);
  EXPECT_EQ(notify(relay, client.window(), "PROFILE MOOD_TEXT same"), 1);
  EXPECT_EQ(notify(relay, stranger.window(), "PROFILE MOOD_TEXT stranger"), 1);
  EXPECT_EQ(notify(relay, nullptr, "PROFILE MOOD_TEXT nobody"), 1);
  EXPECT_EQ(notify(relay, client.window(), "PROTOCOL 5"), 1);
  EXPECT_EQ(notify(relay, client.window(), "PROFILE MOOD_TEXT \xE3\x81\x82"), 1);
  ASSERT_TRUE(waitFor([] { return postedTexts().size() >= 4; }));
  Sleep(200);
  // handed on in the order they came
  EXPECT_EQ(postedTexts(), (std::vector<std::string>{"early", "same", "same", "\xE3\x81\x82"}));
}

TEST_F(SkypeLinkTest, RefusedCommandEndsTheLink) {
  FakeClient client(0);
  client.acceptCommands(false);
  HWND relay = startLink(client);
  ASSERT_TRUE(linkEnded(5000)) << "the thread went on after the client refused";
  DWORD code = 1;
  GetExitCodeThread(thread_, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(client.received().size(), 1u);
  EXPECT_FALSE(IsWindow(relay));
  int discoveries = client.discoveries();
  Sleep(700);
  EXPECT_EQ(client.discoveries(), discoveries);
}

TEST_F(SkypeLinkTest, ClientThatWentAwayIsSearchedForAgain) {
  auto first = std::make_unique<FakeClient>(0);
  HWND relay = startLink(*first);
  ASSERT_TRUE(waitFor([&] { return !first->received().empty(); }));
  first->close();

  FakeClient restarted(0);
  ASSERT_TRUE(waitFor([&] { return !restarted.received().empty(); }))
      << "the restarted client was never attached";
  EXPECT_EQ(restarted.lastDiscoverer(), relay);
  EXPECT_EQ(restarted.received()[0].bytes, protocol5);
  notify(relay, restarted.window(), "PROFILE MOOD_TEXT back");
  ASSERT_TRUE(waitFor([] { return !postedTexts().empty(); }));
  EXPECT_EQ(postedTexts()[0], "back");
}

TEST_F(SkypeLinkTest, ClientThatClosesDuringTheCommandIsNoRefusal) {
  auto first = std::make_unique<FakeClient>(0);
  first->closeInsideCommand();
  HWND relay = startLink(*first);
  ASSERT_TRUE(waitFor([&] { return !first->received().empty(); }));
  EXPECT_FALSE(linkEnded(700)) << "a client that closed was taken for one that refused";
  first->close();

  FakeClient restarted(0);
  ASSERT_TRUE(waitFor([&] { return !restarted.received().empty(); }))
      << "the restarted client was never attached";
  notify(relay, restarted.window(), "PROFILE MOOD_TEXT still here");
  ASSERT_TRUE(waitFor([] { return !postedTexts().empty(); }));
  EXPECT_EQ(postedTexts(), std::vector<std::string>{"still here"});
}

TEST_F(SkypeLinkTest, CommandsGoOutAsUtf8FromTheOemCodePage) {
  if (GetOEMCP() != 437) GTEST_SKIP() << "written for OEM code page 437";
  FakeClient client(noAnswer);
  skypeApiWindow = client.window();
  relayWindow = reinterpret_cast<HWND>(0x1234);
  sendSkypeCommand("caf\x82 \xE1");  // é and ß in code page 437
  std::vector<Received> got = client.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].sender, relayWindow);
  EXPECT_EQ(got[0].dwData, 0u);
  EXPECT_EQ(got[0].cbData, 9u);
  EXPECT_EQ(got[0].bytes, std::string("caf\xC3\xA9 \xC3\x9F\0", 9));
}

TEST_F(SkypeLinkTest, TakenClassNameEndsTheThreadAtOnce) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = relayClassName;
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  FakeClient client(noAnswer);
  thread_ = CreateThread(nullptr, 0, skypeThread, nullptr, 0, &threadId_);
  ASSERT_TRUE(linkEnded(5000));
  DWORD code = 1;
  GetExitCodeThread(thread_, &code);
  EXPECT_EQ(code, 0u);
  Sleep(700);
  EXPECT_EQ(client.discoveries(), 0);
}

TEST_F(SkypeLinkTest, PaintingLeavesNothingToRepaint) {
  FakeClient client(noAnswer);
  HWND relay = startLink(client);
  // Shown and invalidated, as another program might do to it; an unvalidated
  // region would make WM_PAINT come again and again.
  SetWindowPos(relay, nullptr, 0, 0, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(relay, nullptr, FALSE);
  RECT dirty;
  EXPECT_TRUE(waitFor([&] { return !GetUpdateRect(relay, &dirty, FALSE); }, 3000));
}

}  // namespace
