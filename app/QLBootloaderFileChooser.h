#pragma once
// The open panel both boot-configuration panes use to pick a Clover or Chameleon file.
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "bootconfig/QLRootlessPaneView.h"

class QFileDialog;
class QWidget;

namespace tarnix::QLBootloaderFileChooser {

// "~/..." as the user's home folder; other paths as they are.
QString expandedDirectory(const std::string& directory);

// Shows `panel` as a sheet on the pane's window and returns at once. `done` runs on the GUI
// thread with the chosen file, or nothing when the user cancels.
QFileDialog* open(QWidget* pane, const QLBootloaderOpenPanel& panel,
                  std::function<void(std::optional<std::string>)> done);

}  // namespace tarnix::QLBootloaderFileChooser
