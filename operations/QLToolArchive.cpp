#include "operations/QLToolArchive.h"

#include <sodium.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <memory>

namespace tarnix::QLToolArchive {
namespace {

// A Unix zip entry keeps its st_mode in the high half of its external attributes; these are the
// archive format's values, whatever system reads it.
constexpr zip_uint32_t kUnixFileType = 0170000;
constexpr zip_uint32_t kUnixRegularFile = 0100000;

// Base64 text (blanks and line ends around it allowed) of exactly `size` bytes.
template <std::size_t size>
std::optional<std::array<unsigned char, size>> decodeBase64(std::string_view text) {
  while (!text.empty() && std::string_view(" \t\r\n").find(text.back()) != std::string_view::npos)
    text.remove_suffix(1);
  while (!text.empty() && std::string_view(" \t\r\n").find(text.front()) != std::string_view::npos)
    text.remove_prefix(1);
  std::array<unsigned char, size + 1> bytes{};  // one more, to see a longer text
  std::size_t length = 0;
  if (text.empty() ||
      sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != size)
    return std::nullopt;
  std::array<unsigned char, size> exact{};
  std::copy_n(bytes.begin(), size, exact.begin());
  return exact;
}

struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

bool verify(std::string_view archive, std::string_view signature, std::string_view publicKey) {
  if (sodium_init() < 0) return false;
  const auto key = decodeBase64<crypto_sign_PUBLICKEYBYTES>(publicKey);
  const auto signed_ = decodeBase64<crypto_sign_BYTES>(signature);
  if (!key || !signed_) return false;
  return crypto_sign_verify_detached(signed_->data(), reinterpret_cast<const unsigned char*>(archive.data()),
                                     archive.size(), key->data()) == 0;
}

std::optional<std::string> extract(std::string_view archive, const std::string& name, std::size_t limit) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  if (!source) return std::nullopt;
  std::unique_ptr<zip_t, ArchiveCloser> zip(zip_open_from_source(source, ZIP_RDONLY, &error));
  zip_error_fini(&error);
  if (!zip) {
    zip_source_free(source);
    return std::nullopt;
  }
  const zip_int64_t index = zip_name_locate(zip.get(), name.c_str(), ZIP_FL_ENC_RAW);
  zip_stat_t info;
  if (index < 0 || zip_stat_index(zip.get(), static_cast<zip_uint64_t>(index), 0, &info) != 0 ||
      !(info.valid & ZIP_STAT_SIZE) || info.size > limit)
    return std::nullopt;
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(zip.get(), static_cast<zip_uint64_t>(index), 0, &system, &attributes) == 0 &&
      system == ZIP_OPSYS_UNIX && (attributes >> 16) != 0 && ((attributes >> 16) & kUnixFileType) != kUnixRegularFile)
    return std::nullopt;  // a link or a folder under the tool's name
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(zip.get(), static_cast<zip_uint64_t>(index), 0));
  if (!file) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(info.size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const zip_int64_t got = zip_fread(file.get(), bytes.data() + done, bytes.size() - done);
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

}  // namespace tarnix::QLToolArchive
