#include "bootconfig/nvram/NvramTool.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <ostream>
#include <tuple>

namespace tarnix::nvram {
namespace {

struct Variable {
  std::string guid;
  std::string name;
};

// "GUID:name" or a bare name of the macOS boot GUID.
std::optional<Variable> parseName(const std::string& text) {
  Variable variable{std::string(platform::kAppleBootVariablesGuid), text};
  if (const auto colon = text.find(':'); colon != std::string::npos) {
    if (auto guid = platform::normaliseGuid(std::string_view(text).substr(0, colon))) {
      variable.guid = *guid;
      variable.name = text.substr(colon + 1);
    }
  }
  if (!platform::isValidVariableName(variable.name)) return std::nullopt;
  return variable;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::vector<std::uint8_t>> decodeValue(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes.push_back(static_cast<std::uint8_t>(text[i]));
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexDigit(text[i + 1]);
    const int low = hexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
  }
  return bytes;
}

std::string encodeValue(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (byte >= 0x20 && byte <= 0x7e && byte != '%') {
      text.push_back(static_cast<char>(byte));
    } else {
      text.push_back('%');
      text.push_back(kHex[byte >> 4]);
      text.push_back(kHex[byte & 0xF]);
    }
  }
  return text;
}

std::string displayName(const Variable& variable) {
  if (variable.guid == platform::kAppleBootVariablesGuid) return variable.name;
  std::string guid = variable.guid;
  std::transform(guid.begin(), guid.end(), guid.begin(), [](unsigned char c) { return std::toupper(c); });
  return guid + ":" + variable.name;
}

int printVariable(const Variable& variable, platform::FirmwareVariables& variables, std::ostream& out,
                  std::ostream& err) {
  const auto value = variables.read(variable.guid, variable.name);
  if (!value) {
    err << "nvram: Error getting variable - '" << variable.name << "': data was not found\n";
    return 1;
  }
  out << displayName(variable) << '\t' << encodeValue(*value) << '\n';
  return 0;
}

int usage(std::ostream& err) {
  err << "usage: nvram [-p] [-d name] [name[=value] ...]\n"
         "  name may be GUID:name; value bytes may be written as %xx\n";
  return 1;
}

}  // namespace

int run(const std::vector<std::string>& arguments, platform::FirmwareVariables& variables, std::ostream& out,
        std::ostream& err) {
  if (arguments.empty()) return usage(err);
  if (arguments.front() == "-h" || arguments.front() == "--help") {
    usage(out);
    return 0;
  }
  if (!variables.supported()) {
    err << "nvram: this machine has no firmware variables\n";
    return 1;
  }
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-p") {
      auto names = variables.list();
      std::sort(names.begin(), names.end(),
                [](const auto& a, const auto& b) { return std::tie(a.guid, a.name) < std::tie(b.guid, b.name); });
      for (const auto& name : names) {
        // A variable may vanish or refuse reading between listing and reading; skip it.
        if (const auto value = variables.read(name.guid, name.name))
          out << displayName({name.guid, name.name}) << '\t' << encodeValue(*value) << '\n';
      }
      continue;
    }
    if (argument == "-d") {
      if (++i == arguments.size()) return usage(err);
      const auto variable = parseName(arguments[i]);
      if (!variable) {
        err << "nvram: invalid variable name '" << arguments[i] << "'\n";
        return 1;
      }
      if (const int error = variables.remove(variable->guid, variable->name)) {
        err << "nvram: Error deleting variable - '" << variable->name << "': " << std::strerror(error) << '\n';
        return 1;
      }
      continue;
    }
    if (!argument.empty() && argument.front() == '-') return usage(err);

    const auto equals = argument.find('=');
    const auto variable = parseName(argument.substr(0, equals));
    if (!variable) {
      err << "nvram: invalid variable name '" << argument.substr(0, equals) << "'\n";
      return 1;
    }
    if (equals == std::string::npos) {
      if (printVariable(*variable, variables, out, err) != 0) return 1;
      continue;
    }
    const auto value = decodeValue(argument.substr(equals + 1));
    if (!value) {
      err << "nvram: invalid value for '" << variable->name << "'\n";
      return 1;
    }
    if (const int error = variables.write(variable->guid, variable->name, *value)) {
      err << "nvram: Error setting variable - '" << variable->name << "': " << std::strerror(error) << '\n';
      return 1;
    }
  }
  return 0;
}

}  // namespace tarnix::nvram
