#include "journal/QLJournalJson.h"

#include <charconv>

namespace tarnix {
namespace {

constexpr char kHex[] = "0123456789abcdef";

std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  std::size_t length = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 && byte < 0xE0 ? 2 : 0;
  if (byte >= 0xF5 || length == 0 || i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  return length;
}

void appendEscapedByte(std::string& out, unsigned char byte) {
  out.append("\\u00").push_back(kHex[byte >> 4]);
  out.push_back(kHex[byte & 15]);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
    } else if (const std::size_t length = utf8SequenceLength(text, i)) {
      i += length;
    } else {
      return false;
    }
  }
  return true;
}

void appendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '"' || byte == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (byte < 0x20 || byte == 0x7F) {
      appendEscapedByte(out, byte);
      ++i;
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (const std::size_t length = utf8SequenceLength(text, i)) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      // A file name need not be UTF-8; keep the byte recognisable rather than drop it.
      appendEscapedByte(out, byte);
      ++i;
    }
  }
  out.push_back('"');
}

void appendJsonText(std::string& out, std::string_view key, std::string_view text) {
  out.push_back('"');
  out.append(key).append("\":");
  appendJsonString(out, text);
  if (isValidUtf8(text)) return;
  out.append(",\"").append(key).append("Hex\":\"").append(toHex(text)).push_back('"');
}

void appendJsonNumber(std::string& out, std::int64_t value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string toHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 15]);
  }
  return out;
}

std::optional<std::string> fromHex(std::string_view digits) {
  if (digits.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = hexValue(digits[i]);
    const int low = hexValue(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

}  // namespace tarnix
