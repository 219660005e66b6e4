#include "window_proc_trampoline.h"

namespace {

struct ClassProc {
  ATOM atom;
  PwWndProc proc;
};

// A program registers one class or a few; all calls come from the window thread.
constexpr int kMaxClasses = 16;
ClassProc g_classes[kMaxClasses] = {};

PwWndProc proc_for(ATOM atom) {
  for (const ClassProc& entry : g_classes) {
    if (entry.atom == atom && atom != 0) return entry.proc;
  }
  return nullptr;
}

}  // namespace

LRESULT CALLBACK window_proc_trampoline(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto atom = static_cast<ATOM>(GetClassLongPtrA(window, GCW_ATOM));
  const PwWndProc proc = proc_for(atom);
  if (proc == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return proc(reinterpret_cast<PwWindow>(window), message, wparam, lparam);
}

int32_t remember_class_proc(ATOM atom, PwWndProc proc) {
  ClassProc* free_slot = nullptr;
  for (ClassProc& entry : g_classes) {
    // A re-registered class may come back with an atom it had before.
    if (entry.atom == atom) {
      entry.proc = proc;
      return 1;
    }
    if (entry.atom == 0 && free_slot == nullptr) free_slot = &entry;
  }
  if (free_slot == nullptr) return 0;
  *free_slot = {atom, proc};
  return 1;
}

void forget_class_proc(ATOM atom) {
  for (ClassProc& entry : g_classes) {
    if (entry.atom == atom) entry = {};
  }
}
