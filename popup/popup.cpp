#include "popup/popup.h"

void setupPopup(HINSTANCE, HINSTANCE) {
  // the window and the poll cycle come with the timeline popup
}
