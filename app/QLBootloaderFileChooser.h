#pragma once
// How both boot-configuration panes pick a Clover, Chameleon or OpenCore file: the files found
// on the mounted EFI partitions and macOS volumes first, with a hint how to mount a partition
// when that is what stands in the way, and the open panel for any other file.
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "bootconfig/QLRootlessPaneView.h"

class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;

namespace tarnix {

class QLBootloaderFileChooser final : public QDialog {
  Q_OBJECT
 public:
  using Done = std::function<void(std::optional<std::string>)>;

  // Shows the chooser as a sheet on the pane's window and returns at once: the found files when
  // the panel has a search, else the open panel itself. `done` runs once, on the GUI thread,
  // with the chosen file, or nothing when the user cancels.
  static void open(QWidget* pane, QLBootloaderOpenPanel panel, Done done);
  // "~/..." as the user's home folder; other paths as they are.
  static QString expandedDirectory(const std::string& directory);

  QListWidget* outletListFound = nullptr;
  QLabel* outletFieldStatus = nullptr;
  QLabel* outletFieldHints = nullptr;
  QPushButton* outletButtonChoose = nullptr;
  QPushButton* outletButtonBrowse = nullptr;
  QPushButton* outletButtonSearchAgain = nullptr;

  // Fills the list and the hints from a search's result.
  void showResult(const QLBootloaderConfigSearchResult& result);

 public slots:
  // Runs the panel's search again, off the GUI thread.
  void searchAgain();
  // The open panel, on top of the chooser; its choice ends the chooser, its cancel returns to it.
  void browse();

 private:
  QLBootloaderFileChooser(QWidget* pane, QLBootloaderOpenPanel panel, Done done);
  static QFileDialog* openPanel(QWidget* parent, const QLBootloaderOpenPanel& panel);
  void finish(std::optional<std::string> chosen);

  QLBootloaderOpenPanel panel_;
  Done done_;
  int searches_ = 0;
};

}  // namespace tarnix
