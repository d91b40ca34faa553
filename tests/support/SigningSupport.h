#pragma once
// A fixed Ed25519 key for the tests that sign command-line tool archives as the feed would
// (its public half is what a build puts in with TARNIX_BRAMBLE_RSS_KEY).
#include <sodium.h>

#include <array>
#include <string>
#include <string_view>

namespace tarnix::test {

class SigningKey {
 public:
  // Another seed gives another key.
  explicit SigningKey(unsigned char seed = 42) {
    if (sodium_init() < 0) return;
    std::array<unsigned char, crypto_sign_SEEDBYTES> bytes{};
    bytes.fill(seed);
    crypto_sign_seed_keypair(public_.data(), secret_.data(), bytes.data());
  }
  std::string publicKeyBase64() const { return base64(public_.data(), public_.size()); }
  // The detached signature of `bytes`, as the ".sig" file beside the archive holds it.
  std::string sign(std::string_view bytes) const {
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                         secret_.data());
    return base64(signature.data(), signature.size()) + "\n";
  }

 private:
  static std::string base64(const unsigned char* data, std::size_t size) {
    std::string text(sodium_base64_encoded_len(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.find('\0'));
    return text;
  }
  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> public_{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret_{};
};

}  // namespace tarnix::test
