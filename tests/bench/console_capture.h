// Test helper: redirects std::cout and std::cerr into strings for the life of
// the object, keeping each stream's text and both interleaved in write order.
#pragma once

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

namespace brisk::test {

class ConsoleCapture {
 public:
  ConsoleCapture()
      : out_buf_(out_, *this),
        err_buf_(err_, *this),
        old_out_(std::cout.rdbuf(&out_buf_)),
        old_err_(std::cerr.rdbuf(&err_buf_)) {}
  ~ConsoleCapture() {
    std::cout.rdbuf(old_out_);
    std::cerr.rdbuf(old_err_);
  }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::string out() const { return locked(out_); }
  std::string err() const { return locked(err_); }
  // Both streams in the order the text was written.
  std::string all() const { return locked(all_); }

 private:
  class Buffer : public std::streambuf {
   public:
    Buffer(std::string& own, ConsoleCapture& owner) : own_(own), owner_(owner) {}

   protected:
    int_type overflow(int_type c) override {
      if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
      const char ch = traits_type::to_char_type(c);
      xsputn(&ch, 1);
      return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      std::lock_guard lock(owner_.mutex_);
      own_.append(s, static_cast<std::size_t>(n));
      owner_.all_.append(s, static_cast<std::size_t>(n));
      return n;
    }

   private:
    std::string& own_;
    ConsoleCapture& owner_;
  };

  std::string locked(const std::string& text) const {
    std::lock_guard lock(mutex_);
    return text;
  }

  mutable std::mutex mutex_;
  std::string out_;
  std::string err_;
  std::string all_;
  Buffer out_buf_;
  Buffer err_buf_;
  std::streambuf* old_out_;
  std::streambuf* old_err_;
};

}  // namespace brisk::test
