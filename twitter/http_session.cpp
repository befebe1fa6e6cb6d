#include "twitter/http_session.h"

#include <cstring>

#include "twitter/http_text.h"
#include "twitter/service.h"

namespace {

void setTimeouts(HINTERNET handle) {
  // Wine ignores these on the session handle; on the connection and the
  // request they hold.
  DWORD timeout = serviceTimeoutMs;
  const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                           INTERNET_OPTION_RECEIVE_TIMEOUT};
  for (DWORD option : options) {
    InternetSetOptionA(handle, option, &timeout, sizeof timeout);
  }
}

void setCredentials(HINTERNET request, const AccountCopy& account) {
  InternetSetOptionA(request, INTERNET_OPTION_USERNAME, const_cast<char*>(account.name),
                     static_cast<DWORD>(std::strlen(account.name)));
  InternetSetOptionA(request, INTERNET_OPTION_PASSWORD, const_cast<char*>(account.password),
                     static_cast<DWORD>(std::strlen(account.password)));
}

}  // namespace

ServiceRequest::ServiceRequest(const char* verb, const char* path, const AccountCopy& account,
                               ConnectionCredentials connectionCredentials) {
  session_ = InternetOpenA(serviceAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session_) return;
  const bool withAccount = connectionCredentials == ConnectionCredentials::account;
  connection_ =
      InternetConnectA(session_, serviceHost, servicePort, withAccount ? account.name : nullptr,
                       withAccount ? account.password : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection_) return;
  setTimeouts(connection_);
  const char* accepted[] = {acceptedType, nullptr};
  request_ = HttpOpenRequestA(connection_, verb, path, nullptr, nullptr, accepted,
                              serviceRequestFlags, reinterpret_cast<DWORD_PTR>(this));
  if (!request_) return;
  // Its progress reports tell a connect that timed out from an answer that did not come.
  InternetSetStatusCallbackA(request_, onStatus);
  setTimeouts(request_);
  setCredentials(request_, account);
}

ServiceRequest::~ServiceRequest() {
  if (request_) InternetCloseHandle(request_);
  if (connection_) InternetCloseHandle(connection_);
  if (session_) InternetCloseHandle(session_);
}

bool ServiceRequest::send(const char* headers, const void* body, DWORD bodyLength) {
  if (!request_) return false;
  DWORD headersLength = headers ? static_cast<DWORD>(std::strlen(headers)) : 0;
  stage_ = Stage::unknown;
  sendError_ = 0;
  if (HttpSendRequestA(request_, headers, headersLength, const_cast<void*>(body), bodyLength))
    return true;
  sendError_ = GetLastError();
  return false;
}

bool ServiceRequest::neverSent() const {
  if (!request_) return true;
  switch (sendError_) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
      return true;
    case ERROR_INTERNET_TIMEOUT:
      // Without progress reports it may have been the answer that timed out.
      return stage_ == Stage::connecting;
    default:
      return false;
  }
}

void CALLBACK ServiceRequest::onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  auto* self = reinterpret_cast<ServiceRequest*>(context);
  if (!self) return;
  // A connection dropped before any answer is resent on a new one, so only
  // the last connection counts.
  if (status == INTERNET_STATUS_CONNECTING_TO_SERVER) self->stage_ = Stage::connecting;
  if (status == INTERNET_STATUS_SENDING_REQUEST) self->stage_ = Stage::sending;
}

bool ServiceRequest::query(DWORD info, char* text) {
  std::memset(text, 0, headerLineSize);
  DWORD length = headerLineSize;
  if (!request_ || !HttpQueryInfoA(request_, info, text, &length, nullptr)) {
    text[0] = 0;
    return false;
  }
  text[headerLineSize - 1] = 0;
  return true;
}

int ServiceRequest::status(char* text) {
  if (!query(HTTP_QUERY_STATUS_CODE, text)) return 0;
  std::int64_t code = leadingDecimal(text);
  return code > 0 && code < 1000 ? static_cast<int>(code) : 0;
}

std::size_t ServiceRequest::contentLength() {
  char text[headerLineSize];
  return query(HTTP_QUERY_CONTENT_LENGTH, text) ? contentLengthHint(text) : 0;
}

std::size_t ServiceRequest::readBody(char* buffer, std::size_t capacity) {
  std::size_t total = 0;
  while (request_ && total < capacity) {
    DWORD wanted = static_cast<DWORD>(capacity - total > 65536 ? 65536 : capacity - total);
    DWORD got = 0;
    if (!InternetReadFile(request_, buffer + total, wanted, &got) || got == 0) break;
    total += got;
  }
  return total;
}
