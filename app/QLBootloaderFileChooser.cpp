#include "app/QLBootloaderFileChooser.h"

#include <QDir>
#include <QFileDialog>

#include "app/core/QLLocalization.h"

namespace tarnix::QLBootloaderFileChooser {

QString expandedDirectory(const std::string& directory) {
  QString path = QString::fromStdString(directory);
  if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) path = QDir::homePath() + path.mid(1);
  return path;
}

QFileDialog* open(QWidget* pane, const QLBootloaderOpenPanel& panel,
                  std::function<void(std::optional<std::string>)> done) {
  auto* dialog = new QFileDialog(pane);
  dialog->setObjectName(QStringLiteral("bootloaderFileChooser"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setLabelText(QFileDialog::Accept, QLLocalizedString(panel.prompt.key, panel.prompt.english));
  const QString type = QString::fromUtf8(panel.allowedType.data(), static_cast<qsizetype>(panel.allowedType.size()));
  dialog->setNameFilter(QStringLiteral("*.") + type);
  const QString directory = expandedDirectory(panel.directory);
  dialog->setDirectory(QDir(directory).exists() ? directory : QDir::homePath());
  QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
    std::optional<std::string> chosen;
    const QStringList files = dialog->selectedFiles();
    if (result == QDialog::Accepted && !files.isEmpty()) chosen = files.first().toStdString();
    done(std::move(chosen));
  });
  dialog->open();
  return dialog;
}

}  // namespace tarnix::QLBootloaderFileChooser
