#include "journal/QLJournalRecord.h"

#include <sodium.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "journal/QLJournalJson.h"
#include "platform/FirmwareVariables.h"

namespace tarnix {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kKindNames[] = {"owner", "group", "mode", "kext", "file", "nvram", "backup"};
constexpr std::size_t kDigestHexLength = 32;
constexpr std::size_t kLongestVariableHex = 2 * 1024;  // far above any boot word

void appendValue(std::string& out, const QLJournalValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value))
    appendJsonNumber(out, *number);
  else if (const auto* text = std::get_if<std::string>(&value))
    appendJsonString(out, *text);
  else
    out.append("null");
}

void appendCommon(std::string& out, const std::string& run, const std::string& time) {
  out.append("{\"run\":");
  appendJsonString(out, run);
  out.append(",\"time\":");
  appendJsonString(out, time);
}

bool isOctalDigits(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '7') return false;
    value = value * 8 + static_cast<unsigned>(c - '0');
  }
  return value <= 07777;
}

bool isHexDigits(std::string_view text, std::size_t longest) {
  return !text.empty() && text.size() <= longest && fromHex(text).has_value();
}

bool isStoreName(std::string_view name) {
  return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool isVariablePath(std::string_view path) {
  const auto colon = path.find(':');
  if (colon == std::string_view::npos) return false;
  const auto guid = platform::normaliseGuid(path.substr(0, colon));
  return guid && *guid == path.substr(0, colon) && platform::isValidVariableName(path.substr(colon + 1));
}

// A text field, or its exact bytes from the companion "Hex" field; nothing when it is missing
// or malformed, `fallback` when missing and allowed.
std::optional<std::string> textField(const Json& object, const char* key, bool required) {
  const std::string hexKey = std::string(key) + "Hex";
  if (const auto hex = object.find(hexKey); hex != object.end()) {
    if (!hex->is_string()) return std::nullopt;
    return fromHex(hex->get_ref<const std::string&>());
  }
  const auto found = object.find(key);
  if (found == object.end()) return required ? std::nullopt : std::optional<std::string>(std::string());
  if (!found->is_string()) return std::nullopt;
  return found->get_ref<const std::string&>();
}

std::optional<std::int64_t> integerField(const Json& object, const char* key, std::int64_t lowest,
                                         std::int64_t highest) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number_integer()) return std::nullopt;
  std::int64_t value = 0;
  if (found->is_number_unsigned()) {
    const auto unsignedValue = found->get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(highest)) return std::nullopt;
    value = static_cast<std::int64_t>(unsignedValue);
  } else {
    value = found->get<std::int64_t>();
  }
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

// The value under `key` for a change of `kind`; false when it has no place there.
bool valueField(const Json& object, const char* key, QLJournalKind kind, QLJournalValue& value) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    value = std::monostate{};
    // Ids and modes always have both values; a file written always has contents after.
    return kind != QLJournalKind::owner && kind != QLJournalKind::group && kind != QLJournalKind::mode &&
           !(kind == QLJournalKind::file && std::string_view(key) == "after");
  }
  switch (kind) {
    case QLJournalKind::owner:
    case QLJournalKind::group: {
      const auto number = integerField(object, key, 0, 0xFFFFFFFFll);
      if (number) value = *number;
      return number.has_value();
    }
    case QLJournalKind::backup: return false;
    default: break;
  }
  if (!found->is_string()) return false;
  const auto& text = found->get_ref<const std::string&>();
  const bool ok = kind == QLJournalKind::mode ? isOctalDigits(text)
                  : kind == QLJournalKind::nvram
                      ? isHexDigits(text, kLongestVariableHex) || text.empty()
                      : text.size() == kDigestHexLength && isHexDigits(text, kDigestHexLength);
  if (ok) value = text;
  return ok;
}

QLJournalLine invalid(std::string why) {
  QLJournalLine line;
  line.error = std::move(why);
  return line;
}

bool isJournalTime(std::string_view time) { return time.size() >= 20 && time.size() <= 40 && time.back() == 'Z'; }

}  // namespace

std::string_view journalKindName(QLJournalKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

std::optional<QLJournalKind> journalKindNamed(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kKindNames); ++i)
    if (kKindNames[i] == name) return static_cast<QLJournalKind>(i);
  return std::nullopt;
}

bool isPlainAbsolutePath(std::string_view path) {
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos || path.size() > 4096)
    return false;
  std::string_view rest = path;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const auto component = rest.substr(0, slash);
    if (component == "." || component == "..") return false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return true;
}

bool isJournalRunId(std::string_view id) {
  // d: a decimal digit, x: a lower-case hex digit, anything else stands for itself.
  static constexpr std::string_view kShape = "ddddddddTddddddZ-xxxxxx";
  if (id.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < id.size(); ++i) {
    const char c = id[i];
    const bool digit = c >= '0' && c <= '9';
    if (kShape[i] == 'd' ? !digit : kShape[i] == 'x' ? !(digit || (c >= 'a' && c <= 'f')) : c != kShape[i])
      return false;
  }
  return true;
}

void appendJournalHeader(const QLJournalHeader& header, std::string& out) {
  out.append("{\"journal\":1,\"run\":");
  appendJsonString(out, header.run);
  out.append(",\"time\":");
  appendJsonString(out, header.time);
  out.append(",\"operation\":");
  appendJsonString(out, header.operation);
  out.push_back(',');
  appendJsonText(out, "target", header.target);
  out.append(",\"tool\":");
  appendJsonString(out, header.tool);
  out.append(",\"uid\":");
  appendJsonNumber(out, header.uid);
  if (!header.undoes.empty()) {
    out.append(",\"undoes\":");
    appendJsonString(out, header.undoes);
  }
  out.append("}\n");
}

void appendJournalRecord(const QLJournalHeader& run, const QLJournalRecord& record, std::string& out) {
  const auto& change = record.change;
  appendCommon(out, run.run, record.time);
  out.append(",\"seq\":");
  appendJsonNumber(out, static_cast<std::int64_t>(record.seq));
  out.append(",\"operation\":");
  appendJsonString(out, run.operation);
  out.append(",\"kind\":\"").append(journalKindName(change.kind)).append("\",");
  appendJsonText(out, "path", change.path);
  out.append(",\"before\":");
  appendValue(out, change.before);
  out.append(",\"after\":");
  appendValue(out, change.after);
  if (!change.kept.empty()) {
    out.push_back(',');
    appendJsonText(out, "kept", change.kept);
  }
  if (!change.backup.empty()) {
    out.push_back(',');
    appendJsonText(out, "backup", change.backup);
  }
  out.append("}\n");
}

void appendJournalEnd(const QLJournalHeader& run, const QLJournalEnd& end, std::string& out) {
  appendCommon(out, run.run, end.time);
  out.append(",\"end\":true,\"changes\":");
  appendJsonNumber(out, static_cast<std::int64_t>(end.changes));
  out.append(",\"failed\":");
  appendJsonNumber(out, static_cast<std::int64_t>(end.failed));
  out.append("}\n");
}

QLJournalLine parseJournalLine(std::string_view text) {
  if (text.size() > kQLJournalMaxLine) return invalid("the line is too long");
  // Journal lines are flat objects: anything nested is refused while parsing, so a forged
  // line cannot build a deep tree.
  bool nested = false;
  const Json object = Json::parse(
      text.begin(), text.end(),
      [&nested](int depth, Json::parse_event_t event, Json&) {
        if (depth > 0 && (event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start))
          nested = true;
        return !nested;
      },
      false);
  if (nested) return invalid("a value holds an object or a list");
  if (!object.is_object()) return invalid("not a JSON object");

  QLJournalLine line;
  const auto run = textField(object, "run", true);
  const auto time = textField(object, "time", true);
  if (!run || !isJournalRunId(*run)) return invalid("no valid run id");
  if (!time || !isJournalTime(*time)) return invalid("no valid time");
  line.run = *run;

  if (object.contains("journal")) {
    const auto version = integerField(object, "journal", 1, 1);
    const auto operation = textField(object, "operation", true);
    const auto target = textField(object, "target", false);
    const auto tool = textField(object, "tool", false);
    const auto uid = integerField(object, "uid", -1, 0xFFFFFFFFll);
    const auto undoes = textField(object, "undoes", false);
    if (!version) return invalid("a journal version this tool does not know");
    if (!operation || operation->empty() || operation->size() > 64 || !target || !tool || !uid || !undoes ||
        (!undoes->empty() && !isJournalRunId(*undoes)))
      return invalid("a malformed run header");
    line.type = QLJournalLine::Type::header;
    line.header = {*run, *time, *operation, *target, *tool, *uid, *undoes};
    return line;
  }
  if (object.contains("end")) {
    const auto changes = integerField(object, "changes", 0, INT64_MAX);
    const auto failed = integerField(object, "failed", 0, INT64_MAX);
    if (!changes || !failed) return invalid("a malformed end line");
    line.type = QLJournalLine::Type::end;
    line.end = {*time, static_cast<std::uint64_t>(*changes), static_cast<std::uint64_t>(*failed)};
    return line;
  }

  const auto seq = integerField(object, "seq", 1, INT64_MAX);
  const auto kindText = textField(object, "kind", true);
  const auto kind = kindText ? journalKindNamed(*kindText) : std::nullopt;
  if (!seq || !kind) return invalid("no sequence number or kind");
  auto& change = line.record.change;
  change.kind = *kind;
  const auto path = textField(object, "path", true);
  const auto kept = textField(object, "kept", false);
  const auto backup = textField(object, "backup", false);
  if (!path || !kept || !backup) return invalid("a malformed path");
  change.path = *path;
  change.kept = *kept;
  change.backup = *backup;
  if (!valueField(object, "before", *kind, change.before) || !valueField(object, "after", *kind, change.after))
    return invalid("a value that does not fit the kind " + std::string(journalKindName(*kind)));

  bool shapeOk = true;
  switch (*kind) {
    case QLJournalKind::nvram: shapeOk = isVariablePath(change.path) && change.kept.empty(); break;
    case QLJournalKind::file:
      shapeOk = isPlainAbsolutePath(change.path) && (change.kept.empty() || isPlainAbsolutePath(change.kept));
      break;
    case QLJournalKind::kext:
      shapeOk = isPlainAbsolutePath(change.path) && (change.kept.empty() || isStoreName(change.kept)) &&
                (change.backup.empty() || isPlainAbsolutePath(change.backup));
      break;
    case QLJournalKind::backup:
      shapeOk = isPlainAbsolutePath(change.path) && isPlainAbsolutePath(change.backup) && change.kept.empty();
      break;
    default: shapeOk = isPlainAbsolutePath(change.path) && change.kept.empty(); break;
  }
  if (!shapeOk) return invalid("a path that has no place in a journal");
  line.type = QLJournalLine::Type::record;
  line.record.seq = static_cast<std::uint64_t>(*seq);
  line.record.time = *time;
  return line;
}

std::string journalTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
  // gmtime_r takes a lock of its own in glibc: one formatting per thread and second.
  thread_local std::time_t cachedSecond = -1;
  thread_local char prefix[32];
  if (seconds != cachedSecond) {
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::strftime(prefix, sizeof prefix, "%Y-%m-%dT%H:%M:%S", &utc);
    cachedSecond = seconds;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%s.%06lldZ", prefix, static_cast<long long>(micros % 1000000));
  return text;
}

std::string journalDigest(std::string_view bytes) {
  unsigned char digest[16];
  // libsodium's hashing needs no initialisation.
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), nullptr,
                     0);
  return toHex(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}

}  // namespace tarnix
