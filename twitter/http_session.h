#pragma once
// The part of a web service request that both requests share: session,
// connection and request handles, credentials, timeouts, header queries and
// the body read loop.
#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <cstdint>

#include "twitter/account.h"
#include "twitter/post_rules.h"

class ServiceRequest {
 public:
  enum class ConnectionCredentials { none, account };

  // Opens the session (system proxy settings), the connection and the
  // request, and gives the request the account's credentials (the connection
  // too when asked).
  ServiceRequest(const char* verb, const char* path, const AccountCopy& account,
                 ConnectionCredentials connectionCredentials);
  // Closes the request, the connection and the session, in that order.
  ~ServiceRequest();
  ServiceRequest(const ServiceRequest&) = delete;
  ServiceRequest& operator=(const ServiceRequest&) = delete;

  // From the next send on, the request may take totalMs in all, the body
  // included: no send starts and no read waits past that.
  void limitTo(std::int64_t totalMs);
  // True when a reply came.
  bool send(const char* headers, const void* body, DWORD bodyLength);
  // After a send without a reply: true when it surely never reached the
  // service (surelyNotSent in post_rules.h sorts the error).
  bool neverSent() const;
  // The status code of the reply; its text goes to text (headerLineSize bytes).
  int status(char* text);
  // A header's value (HTTP_QUERY_*) into text (headerLineSize bytes); empty
  // when the answer has none or it does not fit.
  void header(DWORD info, char* text) { query(info, text); }
  // The Content-Length as a hint: 0 when missing or not a count.
  std::size_t contentLength();
  // Reads the body into buffer until the server is done, capacity bytes are
  // in or the time set by limitTo is up; returns the number read.
  std::size_t readBody(char* buffer, std::size_t capacity);

  // Any thread, as the program ends: closes every request under way, which
  // ends a send or read blocked in it, and waits up to waitMs for their
  // threads to let go of them. Nothing may start a request after this.
  static void cancelAll(DWORD waitMs);

 private:
  // The request handle, or null once cancelAll closed it.
  HINTERNET handle();
  // Before a blocking call under limitTo: false when the time is up;
  // otherwise the receive timeout is what is left, 15 s at most.
  bool timeLeft();
  bool query(DWORD info, char* text);
  static void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD);

  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  DWORD sendError_ = 0;
  SendStage stage_ = SendStage::unknown;  // of the last send
  std::int64_t limitMs_ = 0;              // set by limitTo, not started yet
  std::int64_t deadline_ = 0;             // monotonicMs() by which it must be done; 0: none
  bool cancelled_ = false;                // under the registry's lock
  ServiceRequest* next_ = nullptr;        // the registry of requests under way
};

// A zero-filled heap block for one use, released when it goes out of scope.
class HeapBlock {
 public:
  // No block for size 0.
  explicit HeapBlock(std::size_t size)
      : memory_(size ? static_cast<char*>(GlobalAlloc(GPTR, size)) : nullptr) {}
  ~HeapBlock() { GlobalFree(memory_); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  char* get() const { return memory_; }

 private:
  char* memory_;
};
