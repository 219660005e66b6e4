#include "window_props.h"

namespace emulation {

bool set_prop(PropList& props, const char* name, void* data) {
  if (name == nullptr) return false;
  props[name] = data;
  return true;
}

void* get_prop(const PropList& props, const char* name) {
  if (name == nullptr) return nullptr;
  auto it = props.find(name);
  return it == props.end() ? nullptr : it->second;
}

void* remove_prop(PropList& props, const char* name) {
  if (name == nullptr) return nullptr;
  auto it = props.find(name);
  if (it == props.end()) return nullptr;
  void* data = it->second;
  props.erase(it);
  return data;
}

}  // namespace emulation
