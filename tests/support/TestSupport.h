#pragma once
// Small helpers shared by the test suites.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarnix::test {

// A real fixture file, or a skip when the fixtures are not beside the repository.
inline std::string realFixture(const std::string& relative) {
  return std::string(TARNIX_REAL_FIXTURES) + "/" + relative;
}
#define TARNIX_REQUIRE_FIXTURE(path)                                                 \
  do {                                                                               \
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "fixture missing: " << path; \
  } while (0)

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A fresh directory removed when the object goes away.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnix-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

}  // namespace tarnix::test
