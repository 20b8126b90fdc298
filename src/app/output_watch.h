// Standard output that cannot be written (a full disk, a closed descriptor)
// must not pass unnoticed: a benchmark whose report was lost has not done its
// job. The watch sits between std::cout and its buffer and keeps the reason
// of the first failed write.
#pragma once

#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace brisk {

class OutputWatch : public std::streambuf {
 public:
  // Puts itself in front of `stream`'s buffer until destroyed.
  explicit OutputWatch(std::ostream& stream);
  ~OutputWatch() override;
  OutputWatch(const OutputWatch&) = delete;
  OutputWatch& operator=(const OutputWatch&) = delete;

  // Why the first write failed (the C library's text for errno then).
  const std::optional<std::string>& failure() const { return failure_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void note_failure();

  std::ostream& stream_;
  std::streambuf* inner_;
  std::optional<std::string> failure_;
};

}  // namespace brisk
