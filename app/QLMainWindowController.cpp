#include "app/QLMainWindowController.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>

#include "app/QLAppManager.h"
#include "app/QLMainAbstractViewController.h"
#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"

namespace tarnix {
namespace {

QString iconFor(const QString& identifier) {
  if (identifier == QLatin1String(QLPaneFactory::kQLSBIDMaintenance)) return QStringLiteral(":/images/QLUIVolume.svg");
  if (identifier == QLatin1String(QLPaneFactory::kQLSBIDInstallation)) return QStringLiteral(":/images/QLUIMain.svg");
  return QStringLiteral(":/images/tarnix.svg");
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
}

QLMainAbstractViewController* QLMainWindowController::contentViewController() const {
  return qobject_cast<QLMainAbstractViewController*>(centralWidget());
}

void QLMainWindowController::showPane(const QString& identifier) {
  QLMainAbstractViewController* pane = QLPaneFactory::instantiate(identifier);
  if (pane) setCentralWidget(pane);
  else delete takeCentralWidget();
  for (QAction* item : outletMainToolbar->actions()) item->setChecked(item->data().toString() == identifier);
  adjustSize();
}

void QLMainWindowController::switchViewController(QAction* item) {
  if (!switchingEnabled_) {
    // Keep the running pane's item marked.
    const QString shown = centralWidget() ? centralWidget()->objectName() : QString();
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
