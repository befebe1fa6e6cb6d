#include "skype/skype_link.h"

DWORD WINAPI skypeThread(LPVOID) {
  return 0;  // the relay window and attachment come with the Skype link
}
