#include "output_file.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr size_t kBufferSize = 1 << 16;

std::string reason(int err) {
  return std::strerror(err != 0 ? err : EIO);
}

}  // namespace

OutputFile::~OutputFile() {
  discard();
}

bool OutputFile::open(const std::string& path, std::string& error) {
  discard();
  if (path.empty()) {
    error = "empty file name";
    return false;
  }
  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) {
    error = "is a folder";
    return false;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) {
    error = "no such folder: " + folder.string();
    return false;
  }
  // Hidden and unique enough: a clock tick tells concurrent runs apart.
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  temporary_ =
      (folder / ("." + target.filename().string() + "." + std::to_string(tick) + ".tmp")).string();
  stream_ = std::fopen(temporary_.c_str(), "wb");
  if (stream_ == nullptr) {
    error = "cannot write in " + folder.string() + ": " + reason(errno);
    temporary_.clear();
    return false;
  }
  path_ = path;
  write_errno_ = 0;
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  return true;
}

OutputFile& OutputFile::text(std::string_view s) {
  buffer_.append(s);
  if (buffer_.size() >= kBufferSize) flush_buffer();
  return *this;
}

OutputFile& OutputFile::number(float v) {
  char digits[32];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, v, std::chars_format::general, 9);
  return text(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

OutputFile& OutputFile::real(double v) {
  if (std::isnan(v)) return text("nan");
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, v);
  return text(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

OutputFile& OutputFile::integer(int64_t v) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, v);
  return text(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

void OutputFile::flush_buffer() {
  if (stream_ != nullptr && write_errno_ == 0 && !buffer_.empty()) {
    errno = 0;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size())
      write_errno_ = errno != 0 ? errno : EIO;
  }
  buffer_.clear();
}

bool OutputFile::commit(std::string& error) {
  if (stream_ == nullptr) {
    error = "not open";
    return false;
  }
  flush_buffer();
  errno = 0;
  if (write_errno_ == 0 && std::fflush(stream_) != 0) write_errno_ = errno != 0 ? errno : EIO;
  errno = 0;
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (write_errno_ == 0 && closed != 0) write_errno_ = errno != 0 ? errno : EIO;
  if (write_errno_ != 0) {
    error = "writing " + path_ + " failed: " + reason(write_errno_);
    discard();
    return false;
  }
  std::error_code ec;
  fs::rename(temporary_, path_, ec);
  if (ec) {
    error = "cannot replace " + path_ + ": " + ec.message();
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void OutputFile::discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) std::remove(temporary_.c_str());
  temporary_.clear();
}
