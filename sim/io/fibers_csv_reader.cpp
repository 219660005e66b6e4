#include "fibers_csv_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>

namespace {

constexpr std::array<std::string_view, 6> kEnds = {"x1", "y1", "z1", "x2", "y2", "z2"};
constexpr size_t kChunk = 1 << 20;

// Lines of a file read in large chunks, without their LF or CRLF.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file), buffer_(kChunk) {}

  // False at the end of the file or on a read error (failed() tells which).
  bool next(std::string_view& line) {
    for (;;) {
      const char* first = buffer_.data() + begin_;
      if (const void* nl = std::memchr(first, '\n', end_ - begin_)) {
        const size_t length = static_cast<const char*>(nl) - first;
        line = without_cr({first, length});
        begin_ += length + 1;
        return true;
      }
      if (at_end_) {
        if (begin_ == end_) return false;
        line = without_cr({first, end_ - begin_});  // the last line, without a line end
        begin_ = end_;
        return true;
      }
      refill();
    }
  }
  bool failed() const { return failed_; }
  int error() const { return errno_; }

 private:
  static std::string_view without_cr(std::string_view s) {
    return !s.empty() && s.back() == '\r' ? s.substr(0, s.size() - 1) : s;
  }

  // Keeps the unfinished line at the front and reads behind it, growing the buffer for a line
  // longer than it.
  void refill() {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    errno = 0;
    const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    end_ += got;
    if (got == 0) {
      at_end_ = true;
      failed_ = std::ferror(file_) != 0;
      errno_ = errno;
    }
  }

  std::FILE* file_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;
  bool at_end_ = false, failed_ = false;
  int errno_ = 0;
};

std::string_view trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

void split(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  for (;;) {
    const size_t comma = line.find(',');
    fields.push_back(trim(line.substr(0, comma)));
    if (comma == std::string_view::npos) return;
    line.remove_prefix(comma + 1);
  }
}

// A field as the message shows it: quoted, and cut short when long.
std::string quoted(std::string_view s) {
  constexpr size_t kShown = 40;
  return "'" + std::string(s.substr(0, kShown)) + (s.size() > kShown ? "...'" : "'");
}

// The float32 strtof gives for `s`, or the reason there is none.
std::string to_float(std::string_view s, float& v) {
  const char* first = s.data();
  const char* last = first + s.size();
  // from_chars takes no plus sign; one is allowed before the digits, as for strtof.
  if (first != last && *first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, v);
  if (first == last || ec == std::errc::invalid_argument || end != last)
    return quoted(s) + " is not a number";
  // Beyond the float32 range: strtof gives the underflow's 0 or subnormal, or infinity.
  if (ec == std::errc::result_out_of_range)
    v = std::strtof(std::string(first, last).c_str(), nullptr);
  if (!std::isfinite(v)) return quoted(s) + " is not a finite float32 number";
  return "";
}

std::string at(int64_t line) {
  return "line " + std::to_string(line);
}
std::string at(int64_t line, std::string_view column) {
  return at(line) + ", column '" + std::string(column) + "'";
}

}  // namespace

std::string read_fibers_csv(const std::string& path, FibersTable& out) {
  out = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::string("cannot be opened: ") + std::strerror(errno);
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{file};
  LineReader lines(file);
  std::string_view line;
  std::vector<std::string_view> fields;
  const auto read_error = [&lines] {
    return std::string("cannot be read: ") +
           std::strerror(lines.error() != 0 ? lines.error() : EIO);
  };

  if (!lines.next(line)) return lines.failed() ? read_error() : "the file is empty, with no header";
  if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // a UTF-8 byte order mark
  split(line, fields);
  const size_t columns = fields.size();
  std::array<size_t, 6> end_column{};
  size_t diameter_column = columns;  // none
  std::vector<bool> used(columns, false);
  for (size_t k = 0; k < kEnds.size() + 1; ++k) {
    const std::string_view name = k < kEnds.size() ? kEnds[k] : "diameter";
    size_t found = columns;
    for (size_t c = 0; c < columns; ++c) {
      if (fields[c] != name) continue;
      if (found != columns) return at(1, name) + ": named twice in the header";
      found = c;
    }
    if (k == kEnds.size()) {
      diameter_column = found;
    } else if (found == columns) {
      return at(1) + ": the header has no column '" + std::string(name) + "'";
    } else {
      end_column[k] = found;
    }
  }

  int64_t number = 1;
  std::vector<float> diameters;
  bool differ = false;
  while (lines.next(line)) {
    ++number;
    split(line, fields);
    if (fields.size() != columns)
      return at(number) + ": " + std::to_string(fields.size()) +
             (fields.size() == 1 ? " field" : " fields") + " where the header has " +
             std::to_string(columns);
    Fiber f;
    for (size_t k = 0; k < kEnds.size(); ++k) {
      float& v = k < 3 ? f.start[k] : f.end[k - 3];
      const std::string why = to_float(fields[end_column[k]], v);
      if (!why.empty()) return at(number, kEnds[k]) + ": " + why;
    }
    if (f.start == f.end) return at(number) + ": the fiber has length 0, both ends at one point";
    if (diameter_column != columns) {
      const std::string_view text = fields[diameter_column];
      float d = 0;
      std::string why = to_float(text, d);
      if (why.empty() && !(d > 0)) why = quoted(text) + " is not greater than 0";
      if (!why.empty()) return at(number, "diameter") + ": " + why;
      differ = differ || (!diameters.empty() && d != diameters[0]);
      diameters.push_back(d);
    }
    out.fibers.push_back(f);
  }
  if (lines.failed()) return read_error();
  if (!diameters.empty()) {
    out.diameter = *std::max_element(diameters.begin(), diameters.end());
    if (differ) out.diameters = std::move(diameters);
  }
  return "";
}
