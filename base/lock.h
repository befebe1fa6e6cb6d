#pragma once
// The few waits the program's threads share, built on what every Windows since
// XP has: critical sections and events (no condition variables or slim
// locks, which came with Vista).
#include <windows.h>

// A critical section. Never destroyed: threads may hold it while the process ends.
class Lock {
 public:
  Lock() { InitializeCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void enter() { EnterCriticalSection(&section_); }
  void leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Holds a lock for the scope.
class Hold {
 public:
  explicit Hold(Lock& lock) : lock_(lock) { lock_.enter(); }
  ~Hold() { lock_.leave(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  Lock& lock_;
};
