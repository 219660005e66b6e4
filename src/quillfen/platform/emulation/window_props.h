#pragma once

// A window's property list (SetProp, GetProp, RemoveProp), keyed by name.

#include <map>
#include <string>

namespace emulation {

using PropList = std::map<std::string, void*>;

// Null names are refused: SetProp fails, the others find nothing.
bool set_prop(PropList& props, const char* name, void* data);
void* get_prop(const PropList& props, const char* name);
void* remove_prop(PropList& props, const char* name);

}  // namespace emulation
