#include "twitter/http_session.h"

#include <cstring>

#include "base/lock.h"
#include "base/tick_clock.h"
#include "twitter/http_text.h"
#include "twitter/service.h"

static_assert(sendError::outOfHandles == ERROR_INTERNET_OUT_OF_HANDLES &&
                  sendError::timeout == ERROR_INTERNET_TIMEOUT &&
                  sendError::internalError == ERROR_INTERNET_INTERNAL_ERROR &&
                  sendError::nameNotResolved == ERROR_INTERNET_NAME_NOT_RESOLVED &&
                  sendError::operationCancelled == ERROR_INTERNET_OPERATION_CANCELLED &&
                  sendError::cannotConnect == ERROR_INTERNET_CANNOT_CONNECT &&
                  sendError::connectionAborted == ERROR_INTERNET_CONNECTION_ABORTED &&
                  sendError::connectionReset == ERROR_INTERNET_CONNECTION_RESET &&
                  sendError::invalidServerResponse == ERROR_HTTP_INVALID_SERVER_RESPONSE &&
                  sendError::tcpipNotInstalled == ERROR_INTERNET_TCPIP_NOT_INSTALLED &&
                  sendError::disconnected == ERROR_INTERNET_DISCONNECTED &&
                  sendError::serverUnreachable == ERROR_INTERNET_SERVER_UNREACHABLE &&
                  sendError::proxyServerUnreachable == ERROR_INTERNET_PROXY_SERVER_UNREACHABLE &&
                  sendError::badAutoProxyScript == ERROR_INTERNET_BAD_AUTO_PROXY_SCRIPT &&
                  sendError::unableToDownloadScript == ERROR_INTERNET_UNABLE_TO_DOWNLOAD_SCRIPT,
              "WinINet's error values");

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

// Every request under way, so that the program's end can close them.
Lock registryLock;
ServiceRequest* registry = nullptr;
bool programEnding = false;

}  // namespace

ServiceRequest::ServiceRequest(const char* verb, const char* path, const AccountCopy& account,
                               ConnectionCredentials connectionCredentials) {
  {
    Hold hold(registryLock);
    if (programEnding) return;  // no request starts any more
    next_ = registry;
    registry = this;
  }
  session_ = InternetOpenA(serviceAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session_) return;
  const bool withAccount = connectionCredentials == ConnectionCredentials::account;
  connection_ =
      InternetConnectA(session_, serviceHost, servicePort, withAccount ? account.name : nullptr,
                       withAccount ? account.password : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection_) return;
  setTimeouts(connection_);
  const char* accepted[] = {acceptedType, nullptr};
  HINTERNET request = HttpOpenRequestA(connection_, verb, path, nullptr, nullptr, accepted,
                                       serviceRequestFlags, reinterpret_cast<DWORD_PTR>(this));
  if (!request) return;
  // Its progress reports tell a connect that timed out from an answer that did not come.
  InternetSetStatusCallbackA(request, onStatus);
  setTimeouts(request);
  setCredentials(request, account);
  Hold hold(registryLock);
  request_ = request;
  if (cancelled_) InternetCloseHandle(request);  // the program ended meanwhile
}

ServiceRequest::~ServiceRequest() {
  {
    Hold hold(registryLock);
    for (ServiceRequest** at = &registry; *at != nullptr; at = &(*at)->next_) {
      if (*at == this) {
        *at = next_;
        break;
      }
    }
    if (request_ && !cancelled_) InternetCloseHandle(request_);
  }
  if (connection_) InternetCloseHandle(connection_);
  if (session_) InternetCloseHandle(session_);
}

void ServiceRequest::cancelAll(DWORD waitMs) {
  {
    Hold hold(registryLock);
    programEnding = true;
    for (ServiceRequest* request = registry; request != nullptr; request = request->next_) {
      if (request->request_ && !request->cancelled_) InternetCloseHandle(request->request_);
      request->cancelled_ = true;
    }
  }
  for (DWORD waited = 0; waited < waitMs; waited += 20) {
    {
      Hold hold(registryLock);
      if (registry == nullptr) return;
    }
    Sleep(20);
  }
}

HINTERNET ServiceRequest::handle() {
  Hold hold(registryLock);
  return cancelled_ ? nullptr : request_;
}

void ServiceRequest::limitTo(std::int64_t totalMs) {
  limitMs_ = totalMs;
}

bool ServiceRequest::timeLeft() {
  if (deadline_ == 0) return true;
  DWORD wait = receiveWaitMs(monotonicMs(), deadline_, serviceTimeoutMs);
  if (wait == 0) return false;
  HINTERNET request = handle();
  if (request) InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
  return true;
}

bool ServiceRequest::send(const char* headers, const void* body, DWORD bodyLength) {
  if (limitMs_ != 0 && deadline_ == 0) deadline_ = monotonicMs() + limitMs_;
  stage_ = SendStage::unknown;
  sendError_ = 0;
  if (!timeLeft()) {
    sendError_ = ERROR_INTERNET_TIMEOUT;
    return false;
  }
  HINTERNET request = handle();
  if (!request) return false;
  DWORD headersLength = headers ? static_cast<DWORD>(std::strlen(headers)) : 0;
  if (HttpSendRequestA(request, headers, headersLength, const_cast<void*>(body), bodyLength))
    return true;
  sendError_ = GetLastError();
  return false;
}

bool ServiceRequest::neverSent() const {
  return !request_ || surelyNotSent(sendError_, stage_);
}

void CALLBACK ServiceRequest::onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  auto* self = reinterpret_cast<ServiceRequest*>(context);
  if (!self) return;
  // Written stays written: a kept connection that fails is replaced and the
  // request sent again, and the first copy may have arrived.
  if (self->stage_ == SendStage::written) return;
  if (status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_CONNECTING_TO_SERVER)
    self->stage_ = SendStage::connecting;
  if (status == INTERNET_STATUS_SENDING_REQUEST) self->stage_ = SendStage::written;
}

bool ServiceRequest::query(DWORD info, char* text) {
  std::memset(text, 0, headerLineSize);
  DWORD length = headerLineSize;
  HINTERNET request = handle();
  if (!request || !HttpQueryInfoA(request, info, text, &length, nullptr)) {
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
  while (total < capacity) {
    HINTERNET request = handle();
    if (!request || !timeLeft()) break;
    DWORD wanted = static_cast<DWORD>(capacity - total > 65536 ? 65536 : capacity - total);
    if (deadline_ != 0) {
      // A read waits for all it asks for, however slowly it trickles in: ask
      // only for what has come, so that the time is looked at between reads.
      DWORD available = 0;
      if (!InternetQueryDataAvailable(request, &available, 0, 0) || available == 0) break;
      if (available < wanted) wanted = available;
    }
    DWORD got = 0;
    if (!InternetReadFile(request, buffer + total, wanted, &got) || got == 0) break;
    total += got;
  }
  return total;
}
