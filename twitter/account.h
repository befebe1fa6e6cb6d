#pragma once
// The account the requests go out with: the one copy in memory of the name
// and password. The settings (the shell) write them on the main thread while
// requests on other threads read them, so both go under accountLock: a request
// sees the old pair or the new pair, never half of each.
#include "base/lock.h"

constexpr int accountFieldSize = 256;  // bytes, terminator included

extern char userName[accountFieldSize];
extern char userPassword[accountFieldSize];
extern Lock accountLock;

struct AccountCopy {
  char name[accountFieldSize];
  char password[accountFieldSize];
};

// One consistent copy of name and password, taken under the lock.
AccountCopy copyAccount();
