#include "app/QLMainCommandLineToolsViewController.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QThreadPool>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "app/core/QLHelperRefusalText.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLSupportFolders.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"
#include "ui/QLMainThreadReply.h"

namespace tarnix {
namespace {

// The two status lights ("NSStatusAvailable", "NSStatusUnavailable"), drawn rather than shipped.
QPixmap statusImage(bool available) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(available ? QColor(0x2d, 0x9a, 0x3e) : QColor(0xb8, 0x2b, 0x22), 1));
  painter.setBrush(available ? QColor(0x5e, 0xe0, 0x7a) : QColor(0xf0, 0x5a, 0x4f));
  painter.drawEllipse(QRectF(2, 2, 12, 12));
  return pixmap;
}

const char* statusName(bool available) { return available ? "NSStatusAvailable" : "NSStatusUnavailable"; }

void runInBackground(std::function<void()> work) { QThreadPool::globalInstance()->start(std::move(work)); }

}  // namespace

template <typename F>
QLReply<bool> QLMainCommandLineToolsViewController::onMain(F then) {
  return replyOnMainThread<bool>(
      this, [this, then = std::move(then)](bool value, std::optional<QLXPCHelperRefusal> refusal) mutable {
        refusal_ = std::move(refusal);
        then(value);
      });
}

QLMainCommandLineToolsViewController::QLMainCommandLineToolsViewController(QWidget* parent)
    : QLMainAbstractViewController(parent), network_(new QNetworkAccessManager(this)) {
  setObjectName(QLatin1String(kIdentifier));
  outletCircularIndicator = circularIndicator;
  outletRemoteCommandLineToolCircularIndicator = new QProgressBar(this);
  outletRemoteCommandLineToolCircularIndicator->setObjectName(
      QStringLiteral("outletRemoteCommandLineToolCircularIndicator"));
  outletRemoteCommandLineToolCircularIndicator->setTextVisible(false);
  outletRemoteCommandLineToolCircularIndicator->setMaximumWidth(60);

  const auto row = [this](QGroupBox*& box, QLabel*& image, QLabel*& version, const char* name) {
    box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("outletBox%1CommandLineToolStatus").arg(QLatin1String(name)));
    image = new QLabel(box);
    image->setObjectName(QStringLiteral("outletButton%1CommandLineToolStatusImage").arg(QLatin1String(name)));
    image->setFixedSize(16, 16);
    version = new QLabel(box);
    version->setObjectName(QStringLiteral("outletField%1CommandLineToolVersion").arg(QLatin1String(name)));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QHBoxLayout(box);
    layout->addWidget(image);
    layout->addWidget(version, 1);
    return layout;
  };
  row(outletBoxIntegratedCommandLineToolStatus, outletButtonIntegratedCommandLineToolStatusImage,
      outletFieldIntegratedCommandLineToolVersion, "Integrated");
  row(outletBoxLocalCommandLineToolStatus, outletButtonLocalCommandLineToolStatusImage,
      outletFieldLocalCommandLineToolVersion, "Local");
  row(outletBoxRemoteCommandLineToolStatus, outletButtonRemoteCommandLineToolStatusImage,
      outletFieldRemoteCommandLineToolVersion, "Remote")
      ->addWidget(outletRemoteCommandLineToolCircularIndicator);

  outletButtonInstall = new QPushButton(this);
  outletButtonInstall->setObjectName(QStringLiteral("outletButtonInstall"));
  outletButtonUpgrade = new QPushButton(this);
  outletButtonUpgrade->setObjectName(QStringLiteral("outletButtonUpgrade"));
  outletButtonUninstall = new QPushButton(this);
  outletButtonUninstall->setObjectName(QStringLiteral("outletButtonUninstall"));

  imageButton->setEnabled(false);
  QHBoxLayout* top = headerLayout();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(outletCircularIndicator);
  bottom->addStretch();
  bottom->addWidget(outletButtonUninstall);
  bottom->addWidget(outletButtonUpgrade);
  bottom->addWidget(outletButtonInstall);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(outletBoxIntegratedCommandLineToolStatus);
  layout->addWidget(outletBoxLocalCommandLineToolStatus);
  layout->addWidget(outletBoxRemoteCommandLineToolStatus);
  layout->addStretch(1);  // height the window gains goes below the rows, not to the header
  layout->addLayout(bottom);
  setMinimumWidth(560);

  connect(outletButtonInstall, &QPushButton::clicked, this, &QLMainCommandLineToolsViewController::actionButtonInstall);
  connect(outletButtonUpgrade, &QPushButton::clicked, this, &QLMainCommandLineToolsViewController::actionButtonUpgrade);
  connect(outletButtonUninstall, &QPushButton::clicked, this,
          &QLMainCommandLineToolsViewController::actionButtonUninstall);
}

QLXPCTarnixHelperProtocol* QLMainCommandLineToolsViewController::proxy() const {
  return QLAppManager::shared().proxy();
}

QString QLMainCommandLineToolsViewController::localFilePath() const {
  return localPath == QLatin1String(QLCommandLineTool::kLocalPath) ? QLCommandLineTool::localFilePath() : localPath;
}

void QLMainCommandLineToolsViewController::viewDidLoad() {
  QLMainAbstractViewController::viewDidLoad();
  renderLocalizedOutlets();
  refresh();
}

void QLMainCommandLineToolsViewController::renderLocalizedOutlets() {
  imageButton->setIcon(QIcon(QStringLiteral(":/images/tarnix.svg")));
  mainTitle->setText(QLLocalizedString("kQLMainCommandLineTools"));
  pathField->setText(localPath);
  outletBoxIntegratedCommandLineToolStatus->setTitle(
      QLLocalizedString("kQLMainCommandLineToolsVCIntegratedCommandLineToolStatus"));
  outletBoxLocalCommandLineToolStatus->setTitle(
      QLLocalizedString("kQLMainCommandLineToolsVCLocalCommandLineToolStatus"));
  outletBoxRemoteCommandLineToolStatus->setTitle(
      QLLocalizedString("kQLMainCommandLineToolsVCRemoteCommandLineToolStatus"));
  outletButtonInstall->setText(QLLocalizedString("kQLMainCommandLineToolsVCInstall"));
  outletButtonUpgrade->setText(QLLocalizedString("kQLMainCommandLineToolsVCUpgrade"));
  outletButtonUninstall->setText(QLLocalizedString("kQLMainCommandLineToolsVCUninstall"));
}

void QLMainCommandLineToolsViewController::showRow(Row row, bool available, const QString& version) {
  QLabel* image = outletButtonIntegratedCommandLineToolStatusImage;
  QLabel* field = outletFieldIntegratedCommandLineToolVersion;
  const char* label = "kQLMainCommandLineToolsVCCurrentVersion";
  if (row == Row::local) {
    image = outletButtonLocalCommandLineToolStatusImage;
    field = outletFieldLocalCommandLineToolVersion;
    label = "kQLMainCommandLineToolsVCInstalledVersion";
  } else if (row == Row::remote) {
    image = outletButtonRemoteCommandLineToolStatusImage;
    field = outletFieldRemoteCommandLineToolVersion;
    label = "kQLMainCommandLineToolsVCLatestVersion";
  }
  image->setPixmap(statusImage(available));
  image->setProperty("status", QLatin1String(statusName(available)));
  image->show();
  field->setText(QLLocalizedString(label) + version);
  if (row == Row::local) setLocalInstalled(available);
}

// Nothing to uninstall without an installed copy.
void QLMainCommandLineToolsViewController::setLocalInstalled(bool installed) {
  localInstalled_ = installed;
  outletButtonUninstall->setEnabled(installed && !busy_);
}

void QLMainCommandLineToolsViewController::showChecking(Row row) {
  QLabel* field = row == Row::integrated ? outletFieldIntegratedCommandLineToolVersion
                  : row == Row::local    ? outletFieldLocalCommandLineToolVersion
                                         : outletFieldRemoteCommandLineToolVersion;
  const char* label = row == Row::integrated ? "kQLMainCommandLineToolsVCCurrentVersion"
                      : row == Row::local    ? "kQLMainCommandLineToolsVCInstalledVersion"
                                             : "kQLMainCommandLineToolsVCLatestVersion";
  field->setText(QLLocalizedString(label) + QLLocalizedString("kQLMainCommandLineToolsVCChecking"));
}

void QLMainCommandLineToolsViewController::refresh() {
  outletButtonUpgrade->setEnabled(false);
  remoteKnown_ = false;
  const bool integrated = QFileInfo::exists(integratedPath);
  const bool local = QFileInfo::exists(localFilePath());
  outletButtonIntegratedCommandLineToolStatusImage->setPixmap(statusImage(integrated));
  outletButtonIntegratedCommandLineToolStatusImage->setProperty("status", QLatin1String(statusName(integrated)));
  outletButtonLocalCommandLineToolStatusImage->setPixmap(statusImage(local));
  outletButtonLocalCommandLineToolStatusImage->setProperty("status", QLatin1String(statusName(local)));
  setLocalInstalled(local);
  outletButtonRemoteCommandLineToolStatusImage->hide();
  showChecking(Row::integrated);
  showChecking(Row::local);
  showChecking(Row::remote);
  readIntegratedVersion();
  readLocalVersion();
  readRemoteFeed();
}

void QLMainCommandLineToolsViewController::readIntegratedVersion() {
  QPointer<QLMainCommandLineToolsViewController> self(this);
  runInBackground([self, path = integratedPath] {
    const QString version = QLCommandLineTool::versionAtPath(path);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [self, path, version] {
      if (self) self->showRow(Row::integrated, QFileInfo::exists(path), version);
    });
  });
}

void QLMainCommandLineToolsViewController::readLocalVersion(std::function<void()> then) {
  QPointer<QLMainCommandLineToolsViewController> self(this);
  runInBackground([self, path = localFilePath(), then = std::move(then)] {
    const QString version = QLCommandLineTool::versionAtPath(path);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [self, path, version, then] {
      if (!self) return;
      self->showRow(Row::local, QFileInfo::exists(path), version);
      if (then) then();
    });
  });
}

void QLMainCommandLineToolsViewController::readRemoteFeed() {
  QLInterfaceHelpers::start(outletRemoteCommandLineToolCircularIndicator);
  const QUrl address(QLCommandLineTool::feedAddress());
  const auto show = [this](std::optional<QLCommandLineTool::QLBrambleFeed> feed) {
    remoteInfo = std::move(feed);
    QLInterfaceHelpers::stop(outletRemoteCommandLineToolCircularIndicator);
    const bool known = remoteInfo && remoteInfo->version && !remoteInfo->version->isEmpty();
    // No key to check the feed's archives with, no upgrade: the helper would refuse it.
    remoteKnown_ = known && QLCommandLineTool::feedIsSigned();
    showRow(Row::remote, known, known ? *remoteInfo->version : QLatin1String(QLCommandLineTool::kNotAvailable));
    outletButtonUpgrade->setEnabled(remoteKnown_ && !busy_);
  };
  if (!address.isValid() || address.isEmpty()) {
    std::printf("QLMainCommandLineToolsVC::refresh() Error: No usable QLBrambleRSS address.\n");
    return show(std::nullopt);
  }
  QNetworkReply* reply = network_->get(QNetworkRequest(address));
  connect(reply, &QNetworkReply::finished, this, [reply, show] {
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) return show(std::nullopt);
    show(QLCommandLineTool::parseFeed(reply->readAll()));
  });
}

void QLMainCommandLineToolsViewController::setBusy(bool busy) {
  busy_ = busy;
  outletButtonInstall->setEnabled(!busy);
  outletButtonUninstall->setEnabled(!busy && localInstalled_);
  outletButtonUpgrade->setEnabled(!busy && remoteKnown_);
}

void QLMainCommandLineToolsViewController::finish() {
  QLInterfaceHelpers::stop(outletCircularIndicator);
  setBusy(false);
}

void QLMainCommandLineToolsViewController::alert(const QString& contents) {
  presentedMessage_ =
      QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"), contents);
}

void QLMainCommandLineToolsViewController::failed(const char* key) {
  // A refusal is not a failure: it says that nothing was tried, and why.
  alert(refusal_ ? QLHelperRefusalText(*refusal_) : QLLocalizedString(key));
}

void QLMainCommandLineToolsViewController::message(const QString& contents) {
  presentedMessage_ = QLInterfaceHelpers::showMessage(this, QLLocalizedString("kQLMainAbstractVCFinished"), contents);
}

void QLMainCommandLineToolsViewController::actionButtonInstall() {
  setBusy(true);
  QLInterfaceHelpers::start(outletCircularIndicator);
  QLReply<bool> reply = onMain([this](bool installed) {
    if (!installed) {
      finish();
      return failed("kQLMainCommandLineToolsVCBrambleFailedToInstall");
    }
    readLocalVersion([this] {
      finish();
      message(QLLocalizedString("kQLMainCommandLineToolsVCBrambleInstalled"));
    });
  });
  QLXPCTarnixHelperProtocol* helper = proxy();
  if (!helper) return reply(false);
  helper->installBrambleFromSourcePath(QFile::encodeName(integratedPath).toStdString(), localPath.toStdString(),
                                       std::move(reply));
}

void QLMainCommandLineToolsViewController::actionButtonUninstall() {
  setBusy(true);
  QLInterfaceHelpers::start(outletCircularIndicator);
  QLReply<bool> reply = onMain([this](bool uninstalled) {
    if (uninstalled)
      message(QLLocalizedString("kQLMainCommandLineToolsVCBrambleUninstalled"));
    else
      failed("kQLMainCommandLineToolsVCBrambleFailedToUninstall");
    const bool exists = QFileInfo::exists(localFilePath()) || QFileInfo(localFilePath()).isSymLink();
    showRow(Row::local, exists, QLatin1String(QLCommandLineTool::kNotAvailable));
    finish();
  });
  QLXPCTarnixHelperProtocol* helper = proxy();
  if (!helper) return reply(false);
  helper->uninstallBrambleFromPath(localPath.toStdString(), std::move(reply));
}

void QLMainCommandLineToolsViewController::upgradeFailed(const char* reasonKey) {
  finish();
  alert(QLLocalizedString("kQLMainCommandLineToolsVCBrambleFailedToUpgrade") + QLatin1Char(' ') +
        QLLocalizedString(reasonKey));
}

void QLMainCommandLineToolsViewController::actionButtonUpgrade() {
  setBusy(true);
  QLInterfaceHelpers::setDeterminate(outletCircularIndicator, 0);
  outletCircularIndicator->show();
  const QUrl address = remoteInfo && remoteInfo->url ? QUrl(*remoteInfo->url) : QUrl();
  if (!address.isValid() || address.isEmpty() || address.fileName().isEmpty())
    return upgradeFailed("kQLMainCommandLineToolsVCFailedToFetchURLFromRemoteServer");
  QNetworkReply* reply = network_->get(QNetworkRequest(address));
  connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 written, qint64 expected) {
    if (expected > 0)
      QLInterfaceHelpers::setDeterminate(outletCircularIndicator,
                                         100.0 * static_cast<double>(written) / static_cast<double>(expected));
  });
  connect(reply, &QNetworkReply::finished, this, [this, reply] { didFinishDownloading(reply); });
}

bool QLMainCommandLineToolsViewController::saveDownload(QNetworkReply* reply, const QString& path) {
  reply->deleteLater();
  // A download that fails (no server, an error status) is reported, not waited on forever.
  if (reply->error() != QNetworkReply::NoError) {
    std::printf("QLMainCommandLineToolsVC::didFinishDownloading() Error: %s\n", qPrintable(reply->errorString()));
    upgradeFailed("kQLMainCommandLineToolsVCFailedToReadDownloadedData");
    return false;
  }
  const QByteArray downloaded = reply->readAll();
  QSaveFile file(path);
  if (!QLSupportFolders::create() || !file.open(QIODevice::WriteOnly) || file.write(downloaded) != downloaded.size() ||
      !file.commit()) {
    upgradeFailed("kQLMainCommandLineToolsVCFailedToSaveDownloadedData");
    return false;
  }
  return true;
}

void QLMainCommandLineToolsViewController::didFinishDownloading(QNetworkReply* reply) {
  const QString name = reply->request().url().fileName();
  if (name == QLatin1String("..")) {
    reply->deleteLater();
    return upgradeFailed("kQLMainCommandLineToolsVCFailedToSaveDownloadedData");
  }
  const QString archive = QLSupportFolders::updatesFolder() + QLatin1Char('/') + name;
  if (!saveDownload(reply, archive)) return;
  // The helper installs the tool only from an archive signed with the key built in beside
  // the feed: its detached signature is published next to it.
  QUrl signatureAddress = reply->request().url();
  signatureAddress.setPath(signatureAddress.path() + QStringLiteral(".sig"));
  QNetworkReply* signature = network_->get(QNetworkRequest(signatureAddress));
  connect(signature, &QNetworkReply::finished, this, [this, signature, archive] {
    if (saveDownload(signature, archive + QStringLiteral(".sig"))) return installUpdate(archive);
    QFile::remove(archive);
  });
}

void QLMainCommandLineToolsViewController::installUpdate(const QString& archive) {
  QLInterfaceHelpers::start(outletCircularIndicator);
  QLReply<bool> reply = onMain([this, archive](bool installed) {
    // The downloaded items go whatever the outcome.
    if (!QFile::remove(archive) || !QFile::remove(archive + QStringLiteral(".sig")))
      std::printf("WARNING: Unable to do the cleanup. You can ignore this error.\n");
    if (!installed) {
      finish();
      return failed("kQLMainCommandLineToolsVCBrambleFailedToUpgrade");
    }
    readLocalVersion([this] {
      finish();
      message(QLLocalizedString("kQLMainCommandLineToolsVCBrambleUpgraded"));
    });
  });
  QLXPCTarnixHelperProtocol* helper = proxy();
  if (!helper) return reply(false);
  helper->installBrambleFromSourcePath(QFile::encodeName(archive).toStdString(), localPath.toStdString(),
                                       std::move(reply));
}

}  // namespace tarnix
