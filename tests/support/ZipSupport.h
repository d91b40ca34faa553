#pragma once
// Writes small zip archives for the tests, with names exactly as given (hostile ones too).
#include <zip.h>

#include <string>
#include <vector>

namespace tarnix::test {

struct ZipEntry {
  std::string name;  // a name ending in "/" is a folder
  std::string contents;
  unsigned mode = 0100644;
};

inline bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const ZipEntry& entry : entries) {
    zip_int64_t index = -1;
    if (!entry.name.empty() && entry.name.back() == '/') {
      index = zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_UTF_8);
    } else {
      zip_source_t* source = zip_source_buffer(archive, entry.contents.data(), entry.contents.size(), 0);
      index = source ? zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
      if (index < 0 && source) zip_source_free(source);
    }
    if (index < 0 || zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                                      static_cast<zip_uint32_t>(entry.mode) << 16) != 0) {
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

// A stand-in tool that answers --internal-version with `version`.
inline std::string toolScript(const std::string& version) {
  return "#!/bin/sh\n[ \"$1\" = --internal-version ] && { printf '%s\\n' '" + version + "'; exit 0; }\nexit 64\n";
}

}  // namespace tarnix::test
