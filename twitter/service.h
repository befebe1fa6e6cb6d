#pragma once
// Where the web service is and how every request to it looks.
#include <windows.h>
#include <wininet.h>

#include "base/app_name.h"

constexpr char serviceHost[] = "twitter.com";
constexpr INTERNET_PORT servicePort = 80;
constexpr char statusUpdatePath[] = "/statuses/update.json";
constexpr char friendsTimelinePath[] = "/statuses/friends_timeline.xml";
constexpr const char* serviceAgent = appName;
constexpr char acceptedType[] = "*/*";

// Always from the server, never into the cache, no cookies. No redirect
// followed: a gateway sends every request to its sign-in page, and the 200
// of that page would pass for the service's answer.
constexpr DWORD serviceRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                      INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
static_assert(serviceRequestFlags == 0x84280000, "request flags");

// Connect, send and receive: a silent service must not hold the main thread long.
constexpr DWORD serviceTimeoutMs = 15000;
