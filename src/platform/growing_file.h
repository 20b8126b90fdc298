// A file rewritten after every run of a sweep whose contents mostly grow:
// each rewrite must leave a complete file whatever stops the program, and
// must cost what changed, not the whole file.
//
// On Linux two copies are kept: the file itself and a hidden spare beside
// it, one rewrite behind. The spare is brought up to date in place (its
// unchanged start stays on the disk, only the rest is written and flushed),
// then the two names are swapped in one atomic step, so the file's name
// always leads to a complete document. The spare is removed when the writing
// ends; one left by a killed program is removed by the next that writes the
// same file. Where the file system cannot swap
// names, and on Windows, every rewrite is a whole new file renamed over the
// old one (replace_file_atomically).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brisk {

class GrowingFile {
 public:
  explicit GrowingFile(std::string path);  // UTF-8; nothing happens yet
  ~GrowingFile();                          // removes the spare copy
  GrowingFile(const GrowingFile&) = delete;
  GrowingFile& operator=(const GrowingFile&) = delete;

  // Makes the file hold the concatenation of `pieces`, flushed to the disk,
  // or leaves it as it was and returns the system's reason. The caller
  // promises: the first `stable` bytes of these contents stay the same in
  // every later call with the same `epoch` (and `stable` never shrinks
  // within an epoch).
  std::optional<std::string> write(std::span<const std::string_view> pieces, std::uint64_t epoch,
                                   std::size_t stable);

  const std::string& path() const { return path_; }

  struct Copies;  // per system

 private:
  std::string path_;
  std::unique_ptr<Copies> copies_;
};

}  // namespace brisk
