#include "app/QLMainAbstractRootlessViewController.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/QLBootloaderFileChooser.h"
#include "app/core/QLLocalization.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {
namespace {

QString localized(const QLLocalizedKey& key) { return QLLocalizedString(key.key, key.english); }

QString imagePath(std::string_view image) {
  return QStringLiteral(":/images/") + QString::fromUtf8(image.data(), static_cast<qsizetype>(image.size())) +
         QStringLiteral(".svg");
}

}  // namespace

QLRootlessPaneContext QLMainAbstractRootlessViewController::defaultContext() {
  return withRunners(sharedRootlessPaneContext(&QLAppManager::shared().preferences()));
}

QLRootlessPaneContext QLMainAbstractRootlessViewController::withRunners(QLRootlessPaneContext context) {
  if (!context.runInBackground)
    context.runInBackground = [](QLTask task) { QThreadPool::globalInstance()->start(std::move(task)); };
  if (!context.runOnMain)
    context.runOnMain = [](QLTask task) {
      QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
    };
  return context;
}

QLMainAbstractRootlessViewController::QLMainAbstractRootlessViewController(QWidget* parent)
    : QLMainAbstractViewController(parent) {
  outletButtonRefresh = new QPushButton(this);
  outletButtonRefresh->setObjectName(QStringLiteral("outletButtonRefresh"));
  outletButtonApplyViaNVRAM = new QPushButton(this);
  outletButtonApplyViaNVRAM->setObjectName(QStringLiteral("outletButtonApplyViaNVRAM"));
  outletButtonApplyViaConfig = new QPushButton(this);
  outletButtonApplyViaConfig->setObjectName(QStringLiteral("outletButtonApplyViaConfig"));
  outletButtonApplyViaConfig->setEnabled(false);
  boxRootlessStatus = new QGroupBox(this);
  boxRootlessStatus->setObjectName(QStringLiteral("boxRootlessStatus"));
  outletFieldRootlessValue = new QLabel(this);
  outletFieldRootlessValue->setObjectName(QStringLiteral("outletFieldRootlessValue"));
  outletFieldRootlessValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outletFieldBootloaderWord = new QLabel(this);
  outletFieldBootloaderWord->setObjectName(QStringLiteral("outletFieldBootloaderWord"));
  outletFieldBootloaderWord->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outletFieldBootloaderWord->hide();
  imageButton->setToolTip(QLLocalizedString("kQLMainAbstractRootlessVCSelectBootloaderConfiguration"));

  // Two columns, bit 0 at the top left, read down then across.
  auto* flags = new QGridLayout(boxRootlessStatus);
  for (int bit = 0; bit < kQLRootlessConfigFlagCount; ++bit) {
    auto* box = new QCheckBox(boxRootlessStatus);
    box->setObjectName(QStringLiteral("outletButtonRootlessFlagB%1").arg(bit));
    box->setProperty("tag", bit);
    flags->addWidget(box, bit % 5, bit / 5);
    outletButtonRootlessFlags[static_cast<std::size_t>(bit)] = box;
    // Only the user's clicks edit the value; rendering the boxes does not.
    connect(box, &QCheckBox::clicked, this,
            [this, box](bool on) { presenter().actionButtonRootlessFlag(box->property("tag").toInt(), on); });
  }

  QHBoxLayout* top = headerLayout();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(circularIndicator);
  bottom->addStretch();
  bottom->addWidget(outletButtonRefresh);
  bottom->addWidget(outletButtonApplyViaNVRAM);
  bottom->addWidget(outletButtonApplyViaConfig);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(boxRootlessStatus);
  auto* values = new QHBoxLayout;
  values->addWidget(outletFieldRootlessValue);
  values->addStretch();
  values->addWidget(outletFieldBootloaderWord);
  layout->addLayout(values);
  layout->addStretch(1);  // height the window gains goes below the values, not to the header
  layout->addLayout(bottom);

  connect(imageButton, &QToolButton::clicked, this, &QLMainAbstractRootlessViewController::selectBooterConfiguration);
  connect(outletButtonRefresh, &QPushButton::clicked, this, &QLMainAbstractRootlessViewController::refresh);
  connect(outletButtonApplyViaNVRAM, &QPushButton::clicked, this, &QLMainAbstractRootlessViewController::applyViaNVRAM);
  connect(outletButtonApplyViaConfig, &QPushButton::clicked, this,
          &QLMainAbstractRootlessViewController::applyViaConfig);
}

QLMainAbstractRootlessViewController::~QLMainAbstractRootlessViewController() = default;

void QLMainAbstractRootlessViewController::viewDidLoad() {
  QLMainAbstractViewController::viewDidLoad();
  presenter().viewDidLoad();
}

void QLMainAbstractRootlessViewController::showEvent(QShowEvent* event) {
  QLMainAbstractViewController::showEvent(event);
  if (isViewLoaded()) presenter().viewDidAppear();
}

void QLMainAbstractRootlessViewController::refresh() { presenter().refresh(); }
void QLMainAbstractRootlessViewController::applyViaNVRAM() { presenter().applyViaNVRAM(); }
void QLMainAbstractRootlessViewController::applyViaConfig() { presenter().applyViaConfig(); }

void QLMainAbstractRootlessViewController::selectBooterConfiguration() {
  QPointer<QLMainAbstractRootlessViewController> self(this);
  QLBootloaderFileChooser::open(this, presenter().selectBooterConfiguration(), [self](std::optional<std::string> path) {
    if (self) self->presenter().didChooseBooterConfiguration(std::move(path));
  });
}

void QLMainAbstractRootlessViewController::showLocalizedOutlets(const QLRootlessPaneOutlets& outlets) {
  imageButton->setIcon(QIcon(imagePath(outlets.image)));
  mainTitle->setText(localized(outlets.mainTitle));
  outletButtonRefresh->setText(localized(outlets.refresh));
  outletButtonApplyViaNVRAM->setText(localized(outlets.applyViaNVRAM));
  outletButtonApplyViaConfig->setText(localized(outlets.applyViaConfig));
  boxRootlessStatus->setTitle(localized(outlets.box));
  for (std::size_t bit = 0; bit < outletButtonRootlessFlags.size(); ++bit)
    outletButtonRootlessFlags[bit]->setText(localized(outlets.flags[bit]));
}

void QLMainAbstractRootlessViewController::showFlags(const std::array<QLRootlessFlagBox, 9>& boxes) {
  for (std::size_t bit = 0; bit < boxes.size(); ++bit) {
    outletButtonRootlessFlags[bit]->setChecked(boxes[bit].checked);
    outletButtonRootlessFlags[bit]->setEnabled(boxes[bit].enabled);
  }
}

void QLMainAbstractRootlessViewController::showValueLine(const QLRootlessValueLine& line) {
  outletFieldRootlessValue->setText(
      QString::fromStdString(line.text([](std::string_view key) { return QLLocalizedString(key).toStdString(); })));
}

void QLMainAbstractRootlessViewController::setApplyViaConfigEnabled(bool enabled) {
  outletButtonApplyViaConfig->setEnabled(enabled);
}

void QLMainAbstractRootlessViewController::showBootloaderConfig(const std::string& path, std::string_view image) {
  pathField->setText(QString::fromStdString(path));
  imageButton->setIcon(QIcon(imagePath(image)));
}

void QLMainAbstractRootlessViewController::showBootloaderWord(const std::optional<QLBootloaderWordLine>& line) {
  outletFieldBootloaderWord->setVisible(line.has_value());
  outletFieldBootloaderWord->setText(line ? QString::fromStdString(line->text([](std::string_view key) {
    return QLLocalizedString(key).toStdString();
  }))
                                          : QString());
}

void QLMainAbstractRootlessViewController::startProgress() { QLInterfaceHelpers::start(circularIndicator); }
void QLMainAbstractRootlessViewController::stopProgress() { QLInterfaceHelpers::stop(circularIndicator); }

void QLMainAbstractRootlessViewController::present(const QLRootlessMessage& message) {
  const QString title = localized(message.title);
  QString contents = localized(message.contents);
  if (message.detail)
    contents += QStringLiteral("\n\n") +
                QString::fromStdString(message.detail->text(localized(message.detail->key).toStdString()));
  presentedMessage_ = message.form == QLRootlessMessage::Form::alert
                          ? QLInterfaceHelpers::showAlert(this, title, contents)
                          : QLInterfaceHelpers::showMessage(this, title, contents);
}

}  // namespace tarnix
