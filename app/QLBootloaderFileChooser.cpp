#include "app/QLBootloaderFileChooser.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/core/QLLocalization.h"
#include "bootconfig/QLRootlessLocalization.h"

namespace tarnix {
namespace {

QString localized(const QLLocalizedKey& key) { return QLLocalizedString(key.key, key.english); }

QString localized(const QLLocalizedText& text) {
  return QString::fromStdString(text.text(localized(text.key).toStdString()));
}

// The name and picture of the bootloader whose place a file was found in.
std::pair<QLLocalizedKey, QString> describe(QLBootloaderConfigType type) {
  switch (type) {
    case QLBootloaderConfigType::opencore:
      return {kQLBootloaderConfigOpenCore, QStringLiteral(":/images/QLUIOpenCore.svg")};
    case QLBootloaderConfigType::clover: return {kQLBootloaderConfigClover, QStringLiteral(":/images/QLUIClover.svg")};
    case QLBootloaderConfigType::chameleon:
      return {kQLBootloaderConfigChameleon, QStringLiteral(":/images/QLUIChameleon.svg")};
    case QLBootloaderConfigType::unsupported: break;
  }
  return {QLLocalizedKey{}, QStringLiteral(":/images/QLUIPlist.svg")};
}

}  // namespace

QString QLBootloaderFileChooser::expandedDirectory(const std::string& directory) {
  QString path = QString::fromStdString(directory);
  if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) path = QDir::homePath() + path.mid(1);
  return path;
}

QFileDialog* QLBootloaderFileChooser::openPanel(QWidget* parent, const QLBootloaderOpenPanel& panel) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(QStringLiteral("bootloaderFileChooser"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setLabelText(QFileDialog::Accept, localized(panel.prompt));
  const QString type = QString::fromUtf8(panel.allowedType.data(), static_cast<qsizetype>(panel.allowedType.size()));
  dialog->setNameFilter(QStringLiteral("*.") + type);
  const QString directory = expandedDirectory(panel.directory);
  dialog->setDirectory(QDir(directory).exists() ? directory : QDir::homePath());
  return dialog;
}

void QLBootloaderFileChooser::open(QWidget* pane, QLBootloaderOpenPanel panel, Done done) {
  if (panel.search) {
    auto* chooser = new QLBootloaderFileChooser(pane, std::move(panel), std::move(done));
    chooser->searchAgain();
    chooser->QDialog::open();
    return;
  }
  QFileDialog* dialog = openPanel(pane, panel);
  QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
    std::optional<std::string> chosen;
    const QStringList files = dialog->selectedFiles();
    if (result == QDialog::Accepted && !files.isEmpty()) chosen = files.first().toStdString();
    done(std::move(chosen));
  });
  dialog->open();
}

QLBootloaderFileChooser::QLBootloaderFileChooser(QWidget* pane, QLBootloaderOpenPanel panel, Done done)
    : QDialog(pane), panel_(std::move(panel)), done_(std::move(done)) {
  setObjectName(QStringLiteral("bootloaderConfigChooser"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowModality(Qt::WindowModal);
  setWindowTitle(localized(kQLBootloaderFileChooserTitle));

  outletFieldStatus = new QLabel(this);
  outletFieldStatus->setWordWrap(true);
  outletListFound = new QListWidget(this);
  outletListFound->setObjectName(QStringLiteral("outletListFound"));
  outletListFound->setIconSize(QSize(32, 32));
  outletListFound->setMinimumWidth(520);
  outletFieldHints = new QLabel(this);
  outletFieldHints->setObjectName(QStringLiteral("outletFieldHints"));
  outletFieldHints->setWordWrap(true);
  // The commands in the hints are meant to be copied into a terminal.
  outletFieldHints->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outletFieldHints->hide();

  auto* buttons = new QDialogButtonBox(this);
  outletButtonBrowse = buttons->addButton(localized(kQLBootloaderFileChooserBrowse), QDialogButtonBox::ActionRole);
  outletButtonSearchAgain =
      buttons->addButton(localized(kQLBootloaderFileChooserSearchAgain), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  outletButtonChoose = buttons->addButton(localized(panel_.prompt), QDialogButtonBox::AcceptRole);
  outletButtonChoose->setDefault(true);
  outletButtonChoose->setEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(outletFieldStatus);
  layout->addWidget(outletListFound);
  layout->addWidget(outletFieldHints);
  layout->addWidget(buttons);

  connect(outletListFound, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* item) { outletButtonChoose->setEnabled(item != nullptr); });
  connect(outletListFound, &QListWidget::itemActivated, this, [this] { accept(); });
  connect(outletButtonBrowse, &QPushButton::clicked, this, &QLBootloaderFileChooser::browse);
  connect(outletButtonSearchAgain, &QPushButton::clicked, this, &QLBootloaderFileChooser::searchAgain);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(this, &QDialog::finished, this, [this](int result) {
    QListWidgetItem* item = outletListFound->currentItem();
    if (result == QDialog::Accepted && item)
      finish(item->data(Qt::UserRole).toString().toStdString());
    else
      finish(std::nullopt);
  });
}

void QLBootloaderFileChooser::finish(std::optional<std::string> chosen) {
  if (!done_) return;
  Done done = std::move(done_);
  done_ = nullptr;
  done(std::move(chosen));
}

void QLBootloaderFileChooser::searchAgain() {
  const int search = ++searches_;
  outletFieldStatus->setText(localized(kQLBootloaderFileChooserSearching));
  outletButtonSearchAgain->setEnabled(false);
  // The search lists folders of several disks (and may wake an automounted partition).
  QThreadPool::globalInstance()->start([self = QPointer<QLBootloaderFileChooser>(this), find = panel_.search, search] {
    auto result = std::make_shared<QLBootloaderConfigSearchResult>(find());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, result, search] {
          if (self && self->searches_ == search) self->showResult(*result);
        },
        Qt::QueuedConnection);
  });
}

void QLBootloaderFileChooser::showResult(const QLBootloaderConfigSearchResult& result) {
  outletListFound->clear();
  for (const auto& candidate : result.found) {
    const auto [name, picture] = describe(candidate.type);
    auto* item = new QListWidgetItem(QIcon(picture),
                                     localized(name) + QStringLiteral("   ") + QString::fromStdString(candidate.path));
    item->setData(Qt::UserRole, QString::fromStdString(candidate.path));
    outletListFound->addItem(item);
  }
  if (outletListFound->count() > 0) outletListFound->setCurrentRow(0);
  outletFieldStatus->setText(
      localized(result.found.empty() ? kQLBootloaderFileChooserNothingFound : kQLBootloaderFileChooserFound));
  QStringList hints;
  for (const QLLocalizedText& hint : QLBootloaderConfigSearch::hints(result)) hints << localized(hint);
  outletFieldHints->setText(hints.join(QStringLiteral("\n\n")));
  outletFieldHints->setVisible(!hints.isEmpty());
  outletButtonSearchAgain->setEnabled(true);
}

void QLBootloaderFileChooser::browse() {
  QFileDialog* dialog = openPanel(this, panel_);
  connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
    const QStringList files = dialog->selectedFiles();
    if (result != QDialog::Accepted || files.isEmpty()) return;
    finish(files.first().toStdString());
    reject();  // the choice is made; closing the chooser adds nothing
  });
  dialog->open();
}

}  // namespace tarnix
