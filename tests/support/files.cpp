#include "support/files.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessora::testing {

bool writeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
  out.close();
  return !out.fail();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool writeBytes(const std::string& path, const Bytes& bytes) {
  return writeFile(path, std::string(bytes.begin(), bytes.end()));
}

Bytes readBytes(const std::string& path) {
  const std::string contents = readFile(path);
  return Bytes(contents.begin(), contents.end());
}

bool writeScript(const std::string& path, const std::string& body) {
  return writeFile(path, "#!/bin/sh\n" + body) && ::chmod(path.c_str(), 0755) == 0;
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& ending) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() >= ending.size() &&
        name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tessora::testing
