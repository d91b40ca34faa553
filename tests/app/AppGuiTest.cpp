// The panes, the main window and the launch sequence, offscreen; the Maintenance pane drives
// the real helper daemon on a sample volume.
#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <algorithm>

#include "AppTestSupport.h"
#include "app/AppDelegate.h"
#include "app/QLEZView.h"
#include "app/QLInstallationViewController.h"
#include "app/QLMainPreferenceViewController.h"
#include "app/QLMainWindowController.h"
#include "app/QLMaintenanceViewController.h"
#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "bootconfig/QLSIPConfig.h"
#include "cli/SampleVolume.h"
#include "model/QLCPU.h"
#include "model/QLOSVolumeManager.h"
#include "platform/FakeFirmwareVariables.h"
#include "platform/HelperPlatformTable.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

using namespace tarnix;
using test::closeMessageBoxes;
using test::kGenerousMs;
using test::RecordingProxy;
using test::visibleMessageBoxes;

namespace {

std::unique_ptr<QLMaintenanceViewController> makeMaintenancePane() {
  auto* pane = qobject_cast<QLMaintenanceViewController*>(
      QLPaneFactory::instantiate(QLatin1String(QLPaneFactory::kQLSBIDMaintenance)));
  pane->show();
  return std::unique_ptr<QLMaintenanceViewController>(pane);
}

}  // namespace

class AppGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    test::useTemporaryUserFolders(home_.path());
    QVERIFY(QLInstallStringTable(*QCoreApplication::instance()));
    QLAppManager::shared().terminateHandler = [this] { ++terminations_; };

    QVERIFY2(daemon_.waitUntilListening(), qPrintable(daemon_.log()));
    qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon_.socket()));
    QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
    QLAppManager::shared().xpcManager().installAndConnect();
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() == 1, kGenerousMs);
    QVERIFY(QLAppManager::shared().proxy());

    cli::SampleVolumeSummary summary;
    std::string error;
    volume_ = daemon_.path("volume");
    QVERIFY2(cli::makeSampleVolume({volume_.toStdString(), 60}, summary, error), error.c_str());
    QVERIFY(summary.wrongItems > 0);
    extraVolume_ = daemon_.path("extra volume");
    QVERIFY2(cli::makeSampleVolume({extraVolume_.toStdString(), 20}, summary, error), error.c_str());
    QVERIFY(QDir().mkpath(extraVolume_ + "/Extra/Extensions"));
    // What the panes say of the caches follows the helper's kextcache.
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(daemon_.path("kextcache")));
  }

  void cleanup() {
    closeMessageBoxes();
    QLAppManager::shared().setProxy(nullptr);
  }

  void repairAndCachesEndWithTheHelpersResultsInItsOrder() {
    RecordingProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QCOMPARE(pane->pathField->text(), volume_);
    QCOMPARE(pane->maintenanceOptions, std::uint64_t{8 | 16});
    QList<bool> idle;
    QLNotificationCenter::defaultCenter().observe(pane.get(), QLatin1String(kQLNotificationDidExecute),
                                                  [&](const QVariant& value) { idle << value.toBool(); });

    pane->executeButton->click();
    QVERIFY(!pane->executeButton->isEnabled());
    QVERIFY(!pane->outletButtonRebuildCaches->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(pane->presentedResults(), kGenerousMs);

    QCOMPARE(recorder.requests(), (QStringList{"repairDiskPermissions " + volume_, "rebuildCaches " + volume_}));
    QVERIFY(daemon_.calls("kextcache").contains(volume_));
    QCOMPARE(idle, (QList<bool>{false, true}));
    QVERIFY(pane->executeButton->isEnabled());

    const auto helperOrder = recorder.repairReply();
    QVERIFY(!helperOrder.empty());
    QLDetailedResultsViewController* results = pane->presentedResults();
    QCOMPARE(results->model()->rowCount(), static_cast<int>(helperOrder.size()));
    for (int row = 0; row < results->model()->rowCount(); ++row) {
      const auto& expected = helperOrder[static_cast<std::size_t>(row)];
      QCOMPARE(results->model()->index(row, 0).data().toString(),
               QString::fromStdString(expected.fileSystemResourcePath));
      QCOMPARE(results->model()->index(row, 1).data().toString(),
               QString::fromStdString(expected.attributeMismatchedTypeString));
      QCOMPARE(results->model()->index(row, 5).data().toString(),
               QString::fromStdString(expected.attributeStatusString));
    }
    QCOMPARE(results->titleField->text(), QLLocalizedString("kQLMainAbstractVCFinished"));
    const auto fixed = std::count_if(helperOrder.begin(), helperOrder.end(),
                                     [](const auto& entry) { return entry.attributeStatusString == "Fixed"; });
    QVERIFY2(results->descriptionField->text().contains(QStringLiteral("%1 items fixed, %2 failed.")
                                                            .arg(fixed)
                                                            .arg(helperOrder.size() - static_cast<std::size_t>(fixed))),
             qPrintable(results->descriptionField->text()));

    // OK empties the list the pane still holds and closes the window.
    const auto held = pane->result;
    results->outletButtonOK->click();
    QVERIFY(held->results.empty());
    QTRY_VERIFY(!pane->presentedResults());
  }

  // A million rows open at once, the values and the status stay in view at the default size,
  // and the keyboard reaches the last row and back.
  void theResultsWindowHoldsAMillionRows() {
    std::vector<QLRepairPermissionsRepresentableResult> rows;
    rows.reserve(1'000'000);
    for (int i = 0; i < 1'000'000; ++i)
      rows.emplace_back("id",
                        "/System/Library/Frameworks/AVeryLongFrameworkName.framework/Versions/A/Resources/"
                        "Deeply/Nested/Folder/File" +
                            std::to_string(i) + ".plist",
                        "Owner ID Mismatched", 501, 0, 0, "Fixed");
    QElapsedTimer opening;
    opening.start();
    QLDetailedResultsViewController window(std::make_shared<QLDetailedRepresentableResult>(
        QString(), QStringLiteral("Finished"), QString(), std::move(rows)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The goal is under a second; a loaded test machine gets more.
    qInfo("a million rows opened in %lld ms", static_cast<long long>(opening.elapsed()));
    QVERIFY2(opening.elapsed() < 5000, qPrintable(QString::number(opening.elapsed())));
    QTableView* table = window.outletResultsTableView;
    QCOMPARE(table->model()->rowCount(), 1'000'000);
    const int viewport = table->viewport()->width();
    for (int column = 3; column <= 5; ++column)
      QVERIFY2(table->columnViewportPosition(column) + table->columnWidth(column) <= viewport + 1,
               qPrintable(QString::number(column)));
    QVERIFY(table->model()->index(0, 0).data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("File0.plist")));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_End);
    QTRY_COMPARE(table->rowAt(table->viewport()->height() - 2), 999'999);
    QTest::keyClick(table, Qt::Key_Home);
    QTRY_COMPARE(table->rowAt(0), 0);
    QTest::keyClick(table, Qt::Key_PageDown);
    QTRY_VERIFY(table->rowAt(0) > 0);
  }

  void folderOnlyRunSendsLEThenSLEAndFinishesOnce() {
    RecordingProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QVERIFY(!pane->outletButtonRepairLEFolder->isEnabled());
    pane->outletButtonRepairDiskPermissions->click();
    pane->outletButtonRebuildCaches->click();
    QVERIFY(pane->outletButtonRepairLEFolder->isEnabled());
    pane->outletButtonRepairLEFolder->click();
    pane->outletButtonRepairSLEFolder->click();
    QCOMPARE(pane->maintenanceOptions, std::uint64_t{2 | 4});

    pane->executeButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.replies(), 2, kGenerousMs);
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished"));
    QCOMPARE(visibleMessageBoxes().first()->icon(), QMessageBox::Information);
    QTRY_VERIFY(pane->executeButton->isEnabled());
    QCOMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(recorder.requests(),
             (QStringList{"repairWithFolder /Library/Extensions/", "repairWithFolder /System/Library/Extensions/"}));
    QVERIFY(!pane->presentedResults());
  }

  // Folder repairs refused by the helper: one alert that says so, not a finished message, the
  // caches are not asked for, and the pane is unlocked.
  void aRefusalIsToldOnceAndUnlocks() {
    RecordingProxy holder;
    QLAppManager::shared().setProxy(&holder);
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    pane->outletButtonRepairDiskPermissions->click();  // off: the folders then
    pane->outletButtonRepairLEFolder->click();
    pane->outletButtonRepairSLEFolder->click();
    pane->executeButton->click();
    QVERIFY(!pane->executeButton->isEnabled());
    holder.release(QLXPCHelperRefusal::untrustedVolume(platform::VolumeRefusal::missingNosuidNodev));
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QTest::qWait(100);
    QCOMPARE(visibleMessageBoxes().size(), 1);
    QMessageBox* box = visibleMessageBoxes().first();
    QCOMPARE(box->icon(), QMessageBox::Critical);
    QVERIFY(box->informativeText().contains("sudo mount -o remount,nosuid,nodev '" + volume_ + "'"));
    QVERIFY(pane->executeButton->isEnabled());
    QCOMPARE(holder.requests(),
             (QStringList{"repairWithFolder /Library/Extensions/", "repairWithFolder /System/Library/Extensions/"}));
  }

  void diskPermissionsTakePrecedenceOverFolders() {
    RecordingProxy holder;
    QLAppManager::shared().setProxy(&holder);
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    pane->outletButtonRepairDiskPermissions->click();
    pane->outletButtonRebuildCaches->click();
    pane->outletButtonRepairLEFolder->click();
    pane->outletButtonRepairDiskPermissions->click();
    QVERIFY(!pane->outletButtonRepairLEFolder->isEnabled());
    pane->executeButton->click();
    QCOMPARE(holder.requests(), QStringList{"repairDiskPermissions " + volume_});
    // An empty repair without caches still shows its (empty) results.
    holder.release();
    QTRY_VERIFY_WITH_TIMEOUT(pane->presentedResults(), kGenerousMs);
    QCOMPARE(pane->presentedResults()->model()->rowCount(), 0);
  }

  // The Extra box follows every volume change: ticked on a volume with the folder, it is
  // cleared and disabled on one without, and nothing is sent for it.
  void theExtraBoxFollowsEveryVolumeChange() {
    RecordingProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(extraVolume_));
    pane->outletButtonRepairDiskPermissions->click();
    pane->outletButtonRebuildCaches->click();
    QVERIFY(pane->outletButtonRepairExtraFolder->isEnabled());
    pane->outletButtonRepairExtraFolder->click();
    QCOMPARE(pane->maintenanceOptions, std::uint64_t{1});

    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QVERIFY(!pane->outletButtonRepairExtraFolder->isEnabled());
    QVERIFY(!pane->outletButtonRepairExtraFolder->isChecked());
    QVERIFY(pane->outletButtonRepairLEFolder->isEnabled());
    QCOMPARE(pane->maintenanceOptions, std::uint64_t{0});
    pane->executeButton->click();
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMaintenanceVCNoOperationsSelected"));
    QVERIFY(recorder.requests().isEmpty());

    // Back on the volume with the folder, the box may be ticked again and the repair runs.
    closeMessageBoxes();
    QVERIFY(pane->chooseVolumeAtPath(extraVolume_));
    QVERIFY(pane->outletButtonRepairExtraFolder->isEnabled());
    pane->outletButtonRepairExtraFolder->click();
    pane->executeButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.replies(), 1, kGenerousMs);
    QCOMPARE(recorder.requests(), QStringList{"repairWithFolder /Extra/Extensions/"});
  }

  // The chosen volume is taken again at the next launch while it is still a macOS volume,
  // and Reset keeps it.
  void theChosenVolumeIsRememberedAndResetKeepsIt() {
    RecordingProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    {
      auto pane = makeMaintenancePane();
      QVERIFY(pane->chooseVolumeAtPath(volume_));
      pane->outletButtonRepairDiskPermissions->click();
      pane->resetButton->click();
      QCOMPARE(QString::fromStdString(pane->targetVolume->mountPoint), volume_);
      QCOMPARE(pane->pathField->text(), volume_);
      QVERIFY(pane->outletButtonRepairDiskPermissions->isChecked());
    }
    // The next launch.
    QLOSVolumeManager::shared().setSelected(std::nullopt);
    QLAppManager::shared().restoreLastTargetVolume();
    auto pane = makeMaintenancePane();
    QCOMPARE(pane->pathField->text(), volume_);
    pane->outletButtonRepairDiskPermissions->click();  // caches only
    pane->executeButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.replies(), 1, kGenerousMs);
    QCOMPARE(recorder.requests(), QStringList{"rebuildCaches " + volume_});

    // Gone since (unmounted, or no longer a macOS system): nothing is selected.
    const QString moved = volume_ + " (moved)";
    QVERIFY(QDir().rename(volume_, moved));
    QLOSVolumeManager::shared().setSelected(std::nullopt);
    QLAppManager::shared().restoreLastTargetVolume();
    const bool restored = QLOSVolumeManager::shared().selected().has_value();
    QVERIFY(QDir().rename(moved, volume_));
    QVERIFY(!restored);
  }

  void noOptionGivesTheNoOperationsAlert() {
    RecordingProxy holder;
    QLAppManager::shared().setProxy(&holder);
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    pane->outletButtonRepairDiskPermissions->click();
    pane->outletButtonRebuildCaches->click();
    pane->executeButton->click();
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->icon(), QMessageBox::Critical);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMaintenanceVCNoOperationsSelected"));
    QVERIFY(holder.requests().isEmpty());
    QVERIFY(pane->executeButton->isEnabled());
  }

  void aFolderWithoutMacOSKeepsThePreviousTarget() {
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QTemporaryDir plain;
    QVERIFY(!pane->chooseVolumeAtPath(plain.path()));
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMainAbstractMaintenanceVCSelectedVolumeIsNotValid"));
    QCOMPARE(QString::fromStdString(pane->targetVolume->mountPoint), volume_);
    QCOMPARE(QString::fromStdString(QLOSVolumeManager::shared().selected()->mountPoint), volume_);
    QCOMPARE(pane->pathField->text(), volume_);
  }

  void theToolbarCannotSwitchPanesWhileAnOperationRuns() {
    RecordingProxy holder;  // keeps the helper's answer back until release()
    QLAppManager::shared().setProxy(&holder);
    QLMainWindowController window;
    window.show();
    QCOMPARE(window.outletMainToolbar->actions().size(), 5);
    QCOMPARE(window.contentViewController()->objectName(), QStringLiteral("QLSBIDInstallation"));
    window.outletToolbarItemMaintenance->trigger();
    auto* pane = qobject_cast<QLMaintenanceViewController*>(window.contentViewController());
    QVERIFY(pane);
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    pane->outletButtonRepairDiskPermissions->click();  // caches only
    pane->executeButton->click();
    QCOMPARE(holder.requests(), QStringList{"rebuildCaches " + volume_});
    QVERIFY(!window.isPaneSwitchingEnabled());

    window.outletToolbarItemSIPConfig->trigger();
    window.switchViewController(window.outletToolbarItemInstallation);
    QCOMPARE(window.contentViewController(), pane);

    holder.release();
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QVERIFY(window.isPaneSwitchingEnabled());
    closeMessageBoxes();
    window.outletToolbarItemSIPConfig->trigger();
    QCOMPARE(window.contentViewController()->objectName(), QStringLiteral("QLSBIDSIPConfig"));
  }

  // The size the user gives the window stays across pane switches; height it gains goes to
  // the pane's content (the drop zone), not to its header. Each pane has its own picture.
  void theMainWindowKeepsItsSizeAndGrowsTheContent() {
    QLMainWindowController window;
    window.show();
    QSet<QByteArray> pictures;
    for (QAction* item : window.outletMainToolbar->actions()) {
      QByteArray bytes;
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      item->icon().pixmap(32, 32).toImage().save(&buffer, "PNG");
      pictures.insert(bytes);
    }
    QCOMPARE(pictures.size(), 5);

    window.resize(window.width() + 120, window.height() + 200);
    QCoreApplication::processEvents();
    const QSize chosen = window.size();
    for (QAction* item : {window.outletToolbarItemMaintenance, window.outletToolbarItemSIPConfig,
                          window.outletToolbarItemCommandLineTools, window.outletToolbarItemInstallation}) {
      window.switchViewController(item);
      QCoreApplication::processEvents();
      QCOMPARE(window.size(), chosen);
    }
    auto* pane = qobject_cast<QLInstallationViewController*>(window.contentViewController());
    QVERIFY(pane);
    const int headerBottom = pane->pathField->geometry().bottom();
    const int dropZone = pane->outletEZView->height();
    window.resize(chosen.width(), chosen.height() + 150);
    QCoreApplication::processEvents();
    QCOMPARE(pane->pathField->geometry().bottom(), headerBottom);
    QCOMPARE(pane->outletEZView->height(), dropZone + 150);
  }

  // Alerts carry a short window title, and one opened while another is up waits for it: the
  // helper's alert, which says what to try, comes after the SIP warning, not under it.
  void alertsAreShortAndComeOneAfterTheOther() {
    QWidget window;
    window.show();
    QLInterfaceHelpers::showAlert(&window, QLLocalizedString("kQLAppMainSIPConfigurationWarning"), "B0");
    QLAppManager::shared().helperDidFail(&window, 3, QStringLiteral("no socket"));
    QLInterfaceHelpers::showMessage(&window, QStringLiteral("third"), QString());
    QCOMPARE(visibleMessageBoxes().size(), 1);
    QMessageBox* first = visibleMessageBoxes().first();
    QCOMPARE(first->text(), QLLocalizedString("kQLAppMainSIPConfigurationWarning"));
    QCOMPARE(first->windowTitle(), QGuiApplication::applicationDisplayName());
    QVERIFY(first->windowTitle() != first->text());
    closeMessageBoxes();
    QCOMPARE(visibleMessageBoxes().size(), 1);
    QMessageBox* helper = visibleMessageBoxes().first();
    QCOMPARE(helper->text(), QLLocalizedString("kQLXPCHelperManagerAnErrorOccured"));
    QCOMPARE(helper->informativeText(), QLLocalizedString("kQLXPCHelperManagerFailedToConnectToHelper") + "\n\n" +
                                            QLLocalizedString("kQLXPCHelperManagerTryCheckingTheHelper"));
    const int before = terminations_;
    closeMessageBoxes();
    QCOMPARE(terminations_, before + 1);
    QCOMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->text(), QStringLiteral("third"));
  }

  // Installing the helper waits for the user's password on another thread: the window goes on
  // and says what it waits for.
  void waitingForAuthorizationShowsAndKeepsTheWindowAlive() {
    QTemporaryDir root;
    const QString answered = root.path() + "/answered";
    QFile script(root.path() + "/pkexec");
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\nwhile [ ! -e '%1' ]; do sleep 0.05; done\nexit 126\n").arg(answered).toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    platform::HelperPlatformTable table;
    table.rootPrefix = root.path().toStdString();  // nothing installed there
    table.pkexec = script.fileName().toStdString();
    QLHelperNotificationBridge bridge;
    QSignalSpy failed(&bridge, &QLHelperNotificationBridge::didFail);
    QLXPCHelperManager manager(QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &bridge, table);
    const QByteArray socket = qgetenv("TARNIX_HELPER_SOCKET");
    qunsetenv("TARNIX_HELPER_SOCKET");
    QVERIFY(manager.needsInstallation());

    QLMainWindowController window;
    window.show();
    QLHelperStarter& starter = QLAppManager::shared().helperStarter();
    QElapsedTimer elapsed;
    elapsed.start();
    starter.start(manager);
    qputenv("TARNIX_HELPER_SOCKET", socket);
    QVERIFY(elapsed.elapsed() < 1000);  // returned at once
    QVERIFY(starter.isWaitingForAuthorization());
    QVERIFY(window.outletAuthorizationBar->isVisible());
    QTest::qWait(300);  // the event loop runs meanwhile
    QVERIFY(starter.isWaitingForAuthorization());

    QFile(answered).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(!starter.isWaitingForAuthorization(), kGenerousMs);
    QVERIFY(!window.outletAuthorizationBar->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, kGenerousMs);
    QCOMPARE(failed.first().first().toInt(), 0);  // not authorized, not "could not install"
  }

  // Without kextcache the caches are only marked for rebuild, and the finished run says so.
  void cachesMarkedForRebuildAreCalledSo() {
    RecordingProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    const QString kextcache = daemon_.path("kextcache");
    QVERIFY(QFile::rename(kextcache, kextcache + ".away"));
    auto pane = makeMaintenancePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    pane->outletButtonRepairDiskPermissions->click();  // caches only
    const QDateTime before = QFileInfo(volume_ + "/System/Library/Extensions").lastModified();
    pane->executeButton->click();
    QCOMPARE(pane->statusField->text(), QLLocalizedString("kQLMainAbstractMaintenanceVCStatus") +
                                            QLLocalizedString("kQLMainAbstractVCMarkingCachesForRebuild"));
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    const QString text = visibleMessageBoxes().first()->informativeText();
    QVERIFY(QFile::rename(kextcache + ".away", kextcache));
    QCOMPARE(text, QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished") + " " +
                       QLLocalizedString("kQLMaintenanceVCCachesMarkedForRebuild"));
    QVERIFY(QFileInfo(volume_ + "/System/Library/Extensions").lastModified() >= before);
  }

  void preferencesOpenWithControlComma() {
    AppDelegate delegate(*qApp);
    QVERIFY(delegate.applicationWillFinishLaunching());
    QAction* preferences = delegate.mainMenu()->actions().first()->menu()->actions().at(2);
    QCOMPARE(preferences->text(), QLLocalizedString("kQLAppMainPreferences"));
    QCOMPARE(preferences->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
  }

  // Closing the window during an operation once quit at once: the reply was lost and the helper
  // told to end in the middle of its work. Now it asks, and quits only after the reply.
  void closingTheWindowDuringAnOperationAsksAndQuitsAfterTheReply() {
    RecordingProxy holder;
    QLAppManager::shared().setProxy(&holder);
    QLMainWindowController window;
    window.show();
    window.outletToolbarItemMaintenance->trigger();
    auto* pane = qobject_cast<QLMaintenanceViewController*>(window.contentViewController());
    QVERIFY(pane && pane->chooseVolumeAtPath(volume_));
    pane->outletButtonRepairDiskPermissions->click();  // caches only
    const auto startOperation = [&] {
      pane->executeButton->click();
      QVERIFY(!window.isPaneSwitchingEnabled());
    };
    const auto question = [&]() -> QMessageBox* {
      QMessageBox* asked = nullptr;
      for (QMessageBox* box : visibleMessageBoxes())
        if (box->text() == QLLocalizedString("kQLAppMainOperationRunning")) asked = box;
      return asked;
    };
    const int before = terminations_;

    startOperation();
    QVERIFY(!window.close());
    QTRY_VERIFY(question());
    question()->button(QMessageBox::Cancel)->click();
    QVERIFY2(window.isVisible(), "cancelled: the window stays");
    holder.release();
    QTRY_VERIFY_WITH_TIMEOUT(window.isPaneSwitchingEnabled(), kGenerousMs);
    closeMessageBoxes();
    QCOMPARE(terminations_, before);

    startOperation();
    QVERIFY(!window.close());
    QTRY_VERIFY(question());
    for (QAbstractButton* button : question()->buttons())
      if (button->text() == QLLocalizedString("kQLAppMainQuitWhenDone")) button->click();
    QVERIFY(!window.isVisible());
    QCOMPARE(terminations_, before);  // nothing ends while the operation runs
    holder.release();
    QTRY_COMPARE_WITH_TIMEOUT(terminations_, before + 1, kGenerousMs);
  }

  // Each connection: a line, test2: with its reply logged, then the stored thread budget.
  void theConnectedReportLogsAndSendsTheThreadBudget() {
    RecordingProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    QLAppManager::shared().preferences().setRepairPermissionsMaximumThreadsNumber(3);
    QLCPU::shared().setMaxthread(7);
    test::CapturedStandardOutput output;
    const QLXPCHelper& helper = QLAppManager::shared().xpcManager().helper();
    QLAppManager::shared().bridge().helperManagerDidConnect(helper);
    const QString where = "QLAppXPCManager::" + QString::fromStdString(helper.name());
    QTRY_VERIFY_WITH_TIMEOUT(output.text().contains("Remote reply:"), kGenerousMs);
    QCOMPARE(output.text(),
             where + " Connected to the remote helper successfully.\n" + where + " Remote reply: 9999999999\n");
    QCOMPARE(recorder.requests(), (QStringList{"test2", "changeMaximumThreadsNumber 3"}));
    QCOMPARE(QLCPU::shared().maxthread(), 3);
  }

  void preferencesOfferTheThreadsAndSendTheChoice() {
    RecordingProxy holder;
    QLAppManager::shared().setProxy(&holder);
    QLPreferences& preferences = QLAppManager::shared().preferences();
    preferences.setRepairPermissionsMaximumThreadsNumber(16);
    QLMainPreferenceViewController pane(8);
    pane.loadView();
    QComboBox* threads = pane.outletButtonRepairPermissionsMaximumThreads;
    QCOMPARE(threads->count(), 8);
    QCOMPARE(threads->itemText(0), QStringLiteral("1"));
    QCOMPARE(threads->itemText(7), QStringLiteral("8"));
    QCOMPARE(threads->currentIndex(), -1);  // 16 is not offered

    threads->setCurrentIndex(3);
    pane.actionButtonRepairPermissionsMaximumThreads();
    QCOMPARE(preferences.repairPermissionsMaximumThreadsNumber().value_or(0), 4);
    QCOMPARE(QLCPU::shared().maxthread(), 4);
    QCOMPARE(holder.requests(), QStringList{"changeMaximumThreadsNumber 4"});
  }

  void preferencesRefuseAFolderTheUserCannotWriteTo() {
    QLPreferences& preferences = QLAppManager::shared().preferences();
    QTemporaryDir parent;
    // Marks a URL path holds as they are, so the field shows the name as the user wrote it.
    const QString chosen = parent.path() + "/o'brien/Backups (old)";
    QVERIFY(QDir().mkpath(chosen));
    QLMainPreferenceViewController pane(2);
    pane.loadView();
    QVERIFY(pane.chooseKextsBackupFolder(chosen));
    const auto stored = preferences.preferredKextsBackupFolderURL();
    QCOMPARE(QByteArray::fromStdString(stored.value_or("")), QUrl::fromLocalFile(chosen + "/").toEncoded());
    QCOMPARE(pane.outletFieldKextsBackupFolder->text(), chosen + "/");
    QVERIFY(pane.outletFieldKextsBackupFolder->isReadOnly());

    // /proc is read-only to everyone, root included.
    QVERIFY(!pane.chooseKextsBackupFolder(QStringLiteral("/proc/self")));
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMainPreferenceVCSelectedDirectoryIsNotWritable"));
    QCOMPARE(preferences.preferredKextsBackupFolderURL(), stored);
  }

  void resetRemovesEveryPreferenceAndQuits() {
    QLPreferences& preferences = QLAppManager::shared().preferences();
    preferences.setEnableEZInstallationMode(false);
    preferences.setSilenceSIPWarning(true);
    QLMainPreferenceViewController pane(4);
    pane.loadView();
    pane.show();
    QVERIFY(!pane.outletButtonEnableEZMode->isChecked());
    const int before = terminations_;
    pane.outletButtonResetPreferences->click();
    QMessageBox* confirmation = nullptr;
    QTRY_VERIFY((confirmation = pane.findChild<QMessageBox*>(QStringLiteral("resetConfirmation"))));
    QCOMPARE(confirmation->text(), QLLocalizedString("kQLMainPreferenceVCAreYouSureToResetAllPreferences"));
    QPushButton* reset = nullptr;
    for (QAbstractButton* button : confirmation->buttons())
      if (button->text() == QLLocalizedString("kQLMainPreferenceVCReset")) reset = qobject_cast<QPushButton*>(button);
    QVERIFY(reset);
    reset->click();
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QVERIFY(!QLAppManager::shared().store().value("QLEnableEZInstallationMode"));
    QVERIFY(!QLAppManager::shared().store().value("QLSilenceSIPWarning"));
    QCOMPARE(terminations_, before);  // after the message is dismissed
    closeMessageBoxes();
    QCOMPARE(terminations_, before + 1);
  }

  void launchBesideTheEZInstallerAlertsAndStops() {
    QLApplicationLock ezInstaller{QLatin1String(kQLEZInstallerIdentifier)};
    QVERIFY(ezInstaller.tryLock());
    QString alertTitle;
    QTimer dismiss;
    connect(&dismiss, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        alertTitle = box->text();
        box->done(QMessageBox::Ok);
      }
    });
    dismiss.start(20);
    AppDelegate delegate(*qApp);
    QVERIFY(!delegate.applicationWillFinishLaunching());
    QCOMPARE(alertTitle, QLLocalizedString("kQLAppMainEZIsRunning"));
    QVERIFY(!QLApplicationLock::isHeld(QLatin1String(kQLTarnixIdentifier)));
  }

  void aSecondLaunchKeepsTheUsersChoices() {
    QLPreferences& preferences = QLAppManager::shared().preferences();
    QLAppManager::shared().store().removeAll();
    {
      AppDelegate first(*qApp);
      QVERIFY(first.applicationWillFinishLaunching());
      QVERIFY(QLApplicationLock::isHeld(QLatin1String(kQLTarnixIdentifier)));
      // The menu is titled through its tags.
      QAction* about = first.mainMenu()->actions().first()->menu()->actions().first();
      QCOMPARE(about->text(), QLLocalizedString("kQLAppMainAboutTarnix"));
    }
    QVERIFY(preferences.enableEZInstallationMode());
    QVERIFY(!preferences.silenceSIPWarning());
    QVERIFY(preferences.preferredKextsBackupFolderURL().value_or("").ends_with("/Tarnix/Kexts/"));
    preferences.setPreferredKextsBackupFolderURL("file:///srv/backups/");
    preferences.setRepairPermissionsMaximumThreadsNumber(1);
    preferences.setEnableEZInstallationMode(false);
    AppDelegate second(*qApp);
    QVERIFY(second.applicationWillFinishLaunching());
    QCOMPARE(preferences.preferredKextsBackupFolderURL().value_or(""), std::string("file:///srv/backups/"));
    QCOMPARE(preferences.repairPermissionsMaximumThreadsNumber().value_or(0), 1);
    QVERIFY(!preferences.enableEZInstallationMode());
  }

  void quittingTellsTheHelperToEnd() {
    RecordingProxy holder;
    QLAppManager::shared().setProxy(&holder);
    AppDelegate delegate(*qApp);
    delegate.applicationWillTerminate();
    QCOMPARE(holder.requests(), QStringList{"terminate"});
  }

  void sipWarningNamesEachRestrictiveFlag_data() {
    QTest::addColumn<qlonglong>("word");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("both unset") << 0LL << QStringList{"kQLAppMainFoundSIPB0Disabled", "kQLAppMainFoundSIPB1Disabled"};
    QTest::newRow("only B1 unset") << 1LL << QStringList{"kQLAppMainFoundSIPB1Disabled"};
    QTest::newRow("only B0 unset") << 2LL << QStringList{"kQLAppMainFoundSIPB0Disabled"};
    QTest::newRow("both set") << 0x67LL << QStringList{};
  }
  void sipWarningNamesEachRestrictiveFlag() {
    QFETCH(qlonglong, word);
    QFETCH(QStringList, keys);
    platform::FakeFirmwareVariables variables;
    QLSIPConfig config(variables);
    config.setDecimalValue(word);
    QStringList lines;
    for (const QString& key : keys) lines << QLLocalizedString(key.toStdString());
    // One line each, no line feed after the last.
    QCOMPARE(AppDelegate::sipWarningMessage(config), lines.join(QLatin1Char('\n')));
  }

 private:
  QTemporaryDir home_;
  test::HelperDaemonProcess daemon_;
  QString volume_, extraVolume_;
  int terminations_ = 0;
};

QTEST_MAIN(AppGuiTest)
#include "AppGuiTest.moc"
