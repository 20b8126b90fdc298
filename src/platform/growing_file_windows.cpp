// Windows: every rewrite is a whole new file renamed over the old one.
#include <new>

#include "platform/file_replace.h"
#include "platform/growing_file.h"

namespace brisk {

struct GrowingFile::Copies {};

GrowingFile::GrowingFile(std::string path) : path_(std::move(path)) {}

GrowingFile::~GrowingFile() = default;

std::optional<std::string> GrowingFile::write(std::span<const std::string_view> pieces,
                                              std::uint64_t, std::size_t) {
  try {
    std::string contents;
    for (const std::string_view piece : pieces) contents += piece;
    return replace_file_atomically(path_, contents);
  } catch (const std::bad_alloc&) {
    return std::string("not enough memory");
  }
}

}  // namespace brisk
