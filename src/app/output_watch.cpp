#include "app/output_watch.h"

#include <cerrno>
#include <cstring>

namespace brisk {

OutputWatch::OutputWatch(std::ostream& stream) : stream_(stream), inner_(stream.rdbuf(this)) {}

OutputWatch::~OutputWatch() { stream_.rdbuf(inner_); }

// Every character passes straight through (this buffer keeps none), so the
// errno of the failing call below is still the one read here.
OutputWatch::int_type OutputWatch::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  errno = 0;
  const int_type written = inner_->sputc(traits_type::to_char_type(c));
  if (traits_type::eq_int_type(written, traits_type::eof())) note_failure();
  return written;
}

std::streamsize OutputWatch::xsputn(const char* text, std::streamsize count) {
  errno = 0;
  const std::streamsize written = inner_->sputn(text, count);
  if (written < count) note_failure();
  return written;
}

int OutputWatch::sync() {
  errno = 0;
  const int result = inner_->pubsync();
  if (result != 0) note_failure();
  return result;
}

void OutputWatch::note_failure() {
  if (failure_) return;
  failure_ = errno != 0 ? std::string(std::strerror(errno)) : std::string("write failed");
}

}  // namespace brisk
