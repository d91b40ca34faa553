#include "app/QLMainWindowController.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"
#include "ui/QLMainAbstractViewController.h"

namespace tarnix {
namespace {

// One picture per pane, saying what it does.
QString iconFor(const QString& identifier) {
  if (identifier == QLatin1String(QLPaneFactory::kQLSBIDMaintenance)) return QStringLiteral(":/images/QLUIMain.svg");
  if (identifier == QLatin1String(QLPaneFactory::kQLSBIDInstallation))
    return QStringLiteral(":/images/QLUIToolbarKext.svg");
  if (identifier == QLatin1String(QLPaneFactory::kQLSBIDSIPConfig))
    return QStringLiteral(":/images/QLUIToolbarSIP.svg");
  if (identifier == QLatin1String(QLPaneFactory::kQLSBIDBooterConfig))
    return QStringLiteral(":/images/QLUIToolbarBooter.svg");
  return QStringLiteral(":/images/QLUIToolbarTerminal.svg");
}

QFrame* authorizationBar(QWidget* parent) {
  auto* bar = new QFrame(parent);
  bar->setObjectName(QStringLiteral("outletAuthorizationBar"));
  bar->setFrameShape(QFrame::StyledPanel);
  auto* indicator = new QProgressBar(bar);
  indicator->setTextVisible(false);
  indicator->setMaximumWidth(80);
  QLInterfaceHelpers::start(indicator);
  auto* text = new QLabel(QLLocalizedString("kQLAppMainWaitingForAuthorization"), bar);
  text->setObjectName(QStringLiteral("outletFieldAuthorization"));
  text->setWordWrap(true);
  auto* layout = new QHBoxLayout(bar);
  layout->addWidget(indicator);
  layout->addWidget(text, 1);
  bar->hide();
  return bar;
}

}  // namespace

QLMainWindowController::QLMainWindowController(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("QLMainWindowController"));
  outletMainToolbar = addToolBar(QStringLiteral("main"));
  outletMainToolbar->setObjectName(QStringLiteral("outletMainToolbar"));
  outletMainToolbar->setMovable(false);
  outletMainToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  outletMainToolbar->setIconSize(QSize(32, 32));
  QAction** items[] = {&outletToolbarItemMaintenance, &outletToolbarItemInstallation, &outletToolbarItemSIPConfig,
                       &outletToolbarItemBooterConfig, &outletToolbarItemCommandLineTools};
  const QStringList& identifiers = QLPaneFactory::toolbarIdentifiers();
  for (qsizetype i = 0; i < identifiers.size(); ++i) {
    QAction* item = outletMainToolbar->addAction(QIcon(iconFor(identifiers[i])), QString());
    item->setObjectName(identifiers[i]);
    item->setData(identifiers[i]);
    item->setCheckable(true);
    *items[i] = item;
  }
  connect(outletMainToolbar, &QToolBar::actionTriggered, this, &QLMainWindowController::switchViewController);

  auto* central = new QWidget(this);
  content_ = new QVBoxLayout(central);
  content_->setContentsMargins(0, 0, 0, 0);
  content_->setSpacing(0);
  outletAuthorizationBar = authorizationBar(central);
  content_->addWidget(outletAuthorizationBar);
  setCentralWidget(central);
  QLHelperStarter& starter = QLAppManager::shared().helperStarter();
  outletAuthorizationBar->setVisible(starter.isWaitingForAuthorization());
  connect(&starter, &QLHelperStarter::waitingForAuthorizationChanged, outletAuthorizationBar, &QWidget::setVisible);
  windowDidLoad();
}

void QLMainWindowController::windowDidLoad() {
  QLNotificationCenter::defaultCenter().observe(this, QLatin1String(kQLNotificationDidExecute),
                                                [this](const QVariant& idle) { userInteractionManager(idle); });
  for (QAction* item : outletMainToolbar->actions())
    item->setText(QLLocalizedString(QLPaneFactory::labelKey(item->data().toString())));
  setWindowTitle(QStringLiteral("Tarnix"));
  setWindowIcon(QIcon(QStringLiteral(":/images/tarnix.svg")));
  showPane(QLatin1String(QLPaneFactory::kQLSBIDInstallation));
  adjustSize();
}

void QLMainWindowController::showPane(const QString& identifier) {
  delete pane_;
  pane_ = QLPaneFactory::instantiate(identifier);
  if (pane_) content_->addWidget(pane_, 1);
  for (QAction* item : outletMainToolbar->actions()) item->setChecked(item->data().toString() == identifier);
  // The size the window has is the user's; it grows only where the new pane needs more.
  resize(size().expandedTo(minimumSizeHint()));
}

void QLMainWindowController::switchViewController(QAction* item) {
  if (!switchingEnabled_) {
    // Keep the running pane's item marked.
    const QString shown = pane_ ? pane_->objectName() : QString();
    for (QAction* other : outletMainToolbar->actions()) other->setChecked(other->data().toString() == shown);
    return;
  }
  showPane(item->data().toString());
}

void QLMainWindowController::userInteractionManager(const QVariant& idle) {
  switchingEnabled_ = idle.toBool();
  for (QAction* item : outletMainToolbar->actions()) item->setEnabled(switchingEnabled_);
  if (switchingEnabled_ && quitWhenIdle_) QLAppManager::shared().terminate();
}

void QLMainWindowController::closeEvent(QCloseEvent* event) {
  if (switchingEnabled_) return QMainWindow::closeEvent(event);
  // Quitting now would lose the operation's reply, and the helper would be told to end while it
  // works: ask, and quit only once the reply is in.
  event->ignore();
  if (closeQuestion_ || quitWhenIdle_) return;
  auto* question = new QMessageBox(QMessageBox::Warning, windowTitle(), QLLocalizedString("kQLAppMainOperationRunning"),
                                   QMessageBox::Cancel, this);
  question->setInformativeText(QLLocalizedString("kQLAppMainOperationRunningDescription"));
  QPushButton* later = question->addButton(QLLocalizedString("kQLAppMainQuitWhenDone"), QMessageBox::AcceptRole);
  question->setDefaultButton(later);
  question->setAttribute(Qt::WA_DeleteOnClose);
  question->setWindowModality(Qt::WindowModal);
  connect(question, &QMessageBox::finished, this, [this, question, later] {
    if (question->clickedButton() != later) return;
    quitWhenIdle_ = true;
    hide();  // the application goes on in the background until the reply
    if (switchingEnabled_) QLAppManager::shared().terminate();
  });
  closeQuestion_ = question;
  question->open();
}

}  // namespace tarnix
