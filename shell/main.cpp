#include "shell/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int) {
  return runProgram(instance, previousInstance);
}
