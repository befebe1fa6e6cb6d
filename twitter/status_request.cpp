#include "twitter/status_request.h"

#include "shell/account.h"
#include "twitter/form_encoding.h"
#include "twitter/http_session.h"
#include "twitter/service.h"

namespace {

constexpr char formContentType[] = "Content-Type: application/x-www-form-urlencoded";
static_assert(sizeof formContentType - 1 == 47, "content type header");

// The reply is read only to be dropped; this much is plenty for its JSON.
constexpr std::size_t replyReadCap = 64 * 1024;

}  // namespace

DWORD WINAPI postStatusThread(LPVOID text) {
  const AccountCopy account = copyAccount();
  {
    ServiceRequest request("POST", statusUpdatePath, account,
                           ServiceRequest::ConnectionCredentials::none);
    char statusBody[statusBodySize] = {};
    std::size_t length = buildStatusBody(static_cast<const char*>(text), statusBody);
    if (request.send(formContentType, statusBody, static_cast<DWORD>(length))) {
      std::size_t announced = request.contentLength();
      std::size_t size = announced < replyReadCap ? announced : replyReadCap;
      if (size > 0) {
        HeapBlock reply(size);
        if (reply.get()) request.readBody(reply.get(), size);
      }
    }
  }
  GlobalFree(text);
  return 0;
}
