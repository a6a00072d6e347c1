#pragma once

#include <cstddef>
#include <string>

namespace tessora::testing {

/// A fresh folder under the system's temporary folder ($TMPDIR or /tmp), removed with everything
/// in it when the object goes.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::string& path() const { return path_; }
  /// The path of `name` inside the folder ("" gives the folder with a trailing slash).
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  /// Catches temporary files left behind by a failed write.
  std::size_t entryCount() const;

 private:
  std::string path_;
};

}  // namespace tessora::testing
