#include "app/core/QLSettingsPreferenceStore.h"

#include <algorithm>

#include "model/QLPreferences.h"

namespace tarnix {
namespace {

QString keyText(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

std::optional<QLPreferenceType> typeOf(std::string_view key) {
  const auto found = std::find_if(kQLPreferenceKeys.begin(), kQLPreferenceKeys.end(),
                                  [key](const QLPreferenceKey& known) { return known.name == key; });
  if (found == kQLPreferenceKeys.end()) return std::nullopt;
  return found->type;
}

std::optional<bool> asBool(const QVariant& stored) {
  if (stored.typeId() == QMetaType::Bool) return stored.toBool();
  const QString text = stored.toString();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

std::optional<std::int64_t> asInteger(const QVariant& stored) {
  bool ok = false;
  const qlonglong number = stored.toString().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return static_cast<std::int64_t>(number);
}

}  // namespace

QLSettingsPreferenceStore::QLSettingsPreferenceStore(const QString& domain)
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quillon"), domain) {}

bool QLSettingsPreferenceStore::contains(std::string_view key) const { return settings_.contains(keyText(key)); }

std::optional<QLPreferenceValue> QLSettingsPreferenceStore::value(std::string_view key) const {
  const QString name = keyText(key);
  if (!settings_.contains(name)) return std::nullopt;
  const QVariant stored = settings_.value(name);
  // A value that does not read as its key's type counts as absent, as a wrong type would.
  switch (typeOf(key).value_or(QLPreferenceType::string)) {
    case QLPreferenceType::boolean:
      if (auto flag = asBool(stored)) return QLPreferenceValue(*flag);
      return std::nullopt;
    case QLPreferenceType::integer:
      if (auto number = asInteger(stored)) return QLPreferenceValue(*number);
      return std::nullopt;
    case QLPreferenceType::string:
    case QLPreferenceType::fileURL:
      if (stored.canConvert<QString>()) return QLPreferenceValue(stored.toString().toStdString());
      return std::nullopt;
  }
  return std::nullopt;
}

void QLSettingsPreferenceStore::setValue(std::string_view key, QLPreferenceValue value) {
  QVariant stored;
  if (const auto* flag = std::get_if<bool>(&value))
    stored = *flag;
  else if (const auto* number = std::get_if<std::int64_t>(&value))
    stored = static_cast<qlonglong>(*number);
  else
    stored = QString::fromStdString(std::get<std::string>(value));
  settings_.setValue(keyText(key), stored);
  settings_.sync();
}

void QLSettingsPreferenceStore::removeAll() {
  settings_.clear();
  settings_.sync();
}

}  // namespace tarnix
