#include "twitter/account.h"

#include <cstring>

char userName[accountFieldSize];
char userPassword[accountFieldSize];
Lock accountLock;

AccountCopy copyAccount() {
  AccountCopy copy;
  Hold hold(accountLock);
  std::memcpy(copy.name, userName, sizeof copy.name);
  std::memcpy(copy.password, userPassword, sizeof copy.password);
  copy.name[accountFieldSize - 1] = 0;
  copy.password[accountFieldSize - 1] = 0;
  return copy;
}
