#pragma once
// The user's defaults kept in the application's QSettings domain. The settings file keeps
// text only, so values are read back with the type their key is known to have.
#include <QSettings>

#include "model/QLPreferenceStore.h"

namespace tarnix {

class QLSettingsPreferenceStore final : public QLPreferenceStore {
 public:
  // The domain is the application's identifier; the file is the user's settings file of it.
  explicit QLSettingsPreferenceStore(const QString& domain = QStringLiteral("local.quillon.tarnix"));

  bool contains(std::string_view key) const override;
  std::optional<QLPreferenceValue> value(std::string_view key) const override;
  // Written through to the file at once.
  void setValue(std::string_view key, QLPreferenceValue value) override;
  void removeAll() override;

  QString fileName() const { return settings_.fileName(); }

 private:
  mutable QSettings settings_;
};

}  // namespace tarnix
