#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

// A path in the temporary folder that carries the process id: two runs of the same tests at once
// (two build trees on one machine) must not write, read or remove each other's files.
inline std::filesystem::path scratch_path(const std::string& name) {
#ifdef _WIN32
  const int id = _getpid();
#else
  const int id = static_cast<int>(getpid());
#endif
  return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(id));
}
