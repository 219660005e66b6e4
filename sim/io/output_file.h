#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// A file written completely or not at all: the text goes to a temporary file in the target's
// folder, which replaces the target only once every write has succeeded. Opening early checks
// the path before a long run; a file that is never committed leaves nothing behind.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // False, with the reason in `error`, when the folder is missing or cannot be written, or the
  // path names a folder.
  bool open(const std::string& path, std::string& error);
  bool is_open() const { return stream_ != nullptr; }
  const std::string& path() const { return path_; }

  OutputFile& text(std::string_view s);
  OutputFile& number(float v);  // as %.9g, which reads back as the same float32
  OutputFile& real(double v);   // shortest round trip; NaN as nan
  OutputFile& integer(int64_t v);

  // Writes out, closes and renames onto the target. False, with the reason, when any write
  // failed; the temporary file is removed then.
  bool commit(std::string& error);

 private:
  void flush_buffer();
  void discard();

  std::FILE* stream_ = nullptr;
  std::string path_, temporary_;
  std::string buffer_;
  int write_errno_ = 0;
};
