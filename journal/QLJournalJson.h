#pragma once
// Writing JSON text by hand where it must be fast (a journal line per changed attribute, a
// report line per result), and the few conversions the journal's fields need.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

// A JSON string literal; bytes that are not UTF-8 become \u00XX escapes (shown, not kept).
void appendJsonString(std::string& out, std::string_view text);
// `"key":"text"`, and when the text is not UTF-8 also `,"keyHex":"..."` with its exact bytes,
// since a file name on a volume need not be UTF-8 and must come back byte for byte.
void appendJsonText(std::string& out, std::string_view key, std::string_view text);
void appendJsonNumber(std::string& out, std::int64_t value);

bool isValidUtf8(std::string_view text);
// Lower-case hexadecimal digits of the bytes, and back (nothing for an odd length or a
// character that is no hex digit).
std::string toHex(std::string_view bytes);
std::optional<std::string> fromHex(std::string_view digits);

}  // namespace tarnix
