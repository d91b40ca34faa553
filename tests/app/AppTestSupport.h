#pragma once
// The real helper daemon on a socket in a temporary folder, a proxy that records what the
// panes send and can hold replies back, and the small chores every window test shares.
#include <unistd.h>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrl>
#include <QtTest>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

#include "ProcessSupport.h"
#include "helper/protocol/QLXPCHelperRefusal.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"

namespace tarnix::test {

// A failing QTRY waits three times its limit before it reports; three times this stays well
// inside Qt Test's five-minute watchdog, whose abort would skip every destructor and leave the
// helper running and the temporary folders behind.
constexpr int kGenerousMs = 60000;

// Qt makes $TMPDIR/runtime-$USER when no runtime folder is set, while it starts the application
// and before any test can set one. This folder is set before main and removed after it.
struct RuntimeFolderOfThisRun {
  RuntimeFolderOfThisRun() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    folder.emplace();
    if (folder->isValid()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder->path()));
  }
  std::optional<QTemporaryDir> folder;
};
inline RuntimeFolderOfThisRun runtimeFolderOfThisRun;

// Settings, data and runtime folders of this run only, inside `home`.
inline void useTemporaryUserFolders(const QString& home) {
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/config"));
  qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/data"));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home));
  qputenv("TARNIX_SYSTEM_JOURNAL", QFile::encodeName(home + "/journal"));
}

// The message boxes on screen now.
inline QList<QMessageBox*> visibleMessageBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes << box;
  return boxes;
}

// Answers every message box on screen with OK.
inline void closeMessageBoxes() {
  for (QMessageBox* box : visibleMessageBoxes()) box->done(QMessageBox::Ok);
  QCoreApplication::processEvents();
}

// The drag-and-drop road a user takes: enter, move, drop, with local file URLs.
inline bool dropFiles(QWidget* target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &move);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

// This process's standard output, into a file while the object lives (diagnostics go there).
class CapturedStandardOutput {
 public:
  CapturedStandardOutput() {
    std::fflush(stdout);
    if (file_.open()) {
      saved_ = ::dup(STDOUT_FILENO);
      ::dup2(file_.handle(), STDOUT_FILENO);
    }
  }
  ~CapturedStandardOutput() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
  }
  CapturedStandardOutput(const CapturedStandardOutput&) = delete;
  CapturedStandardOutput& operator=(const CapturedStandardOutput&) = delete;

  QString text() {
    std::fflush(stdout);
    QFile written(file_.fileName());
    return written.open(QIODevice::ReadOnly) ? QString::fromUtf8(written.readAll()) : QString();
  }

 private:
  QTemporaryFile file_;
  int saved_ = -1;
};

class HelperDaemonProcess {
 public:
  // `environment`: more variables for the daemon ("NAME=value").
  explicit HelperDaemonProcess(const QStringList& extraEnvironment = {}) {
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                           QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    QDir().mkpath(path("root"));
    // kextcache and the other tools the helper runs only record their arguments.
    for (const char* tool : {"kextcache", "nvram", "killall"}) {
      QFile script(path(tool));
      script.open(QIODevice::WriteOnly);
      script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1.calls'; done\n"
                                  "echo -- >> '%1.calls'\nexit 0\n")
                       .arg(path(tool))
                       .toUtf8());
      script.close();
      script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QProcessEnvironment environment;
    environment.insert("PATH", "/usr/bin:/bin");
    environment.insert("TARNIX_ROOT_PREFIX", path("root"));
    environment.insert("TARNIX_SYSTEM_JOURNAL", path("journal"));
    environment.insert("TARNIX_KEXTCACHE", path("kextcache"));
    environment.insert("TARNIX_NVRAM", path("nvram"));
    environment.insert("TARNIX_KILLALL", path("killall"));
    for (const QString& variable : extraEnvironment)
      environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    endWithThisProcess(process_);
    process_.setStandardOutputFile(path("helper.log"));
    process_.start(QStringLiteral(TARNIX_BINARY_DIR "/helper/local.quillon.tarnix.helper"),
                   {QStringLiteral("--listen"), socket()});
  }
  ~HelperDaemonProcess() {
    process_.kill();
    process_.waitForFinished(kGenerousMs);
  }

  QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
  QString socket() const { return path("helper.sock"); }
  QString log() const { return read(path("helper.log")); }
  QString calls(const QString& tool) const { return read(path(tool + ".calls")); }
  bool waitUntilListening() {
    return QTest::qWaitFor([&] { return log().contains("Listening."); }, kGenerousMs);
  }

 private:
  static QString read(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
  }
  QTemporaryDir dir_;
  QProcess process_;
};

// Forwards to `inner` when there is one, recording each request (and each reply as it comes
// back); without `inner` it keeps the replies until release().
class RecordingProxy final : public QLXPCTarnixHelperProtocol {
 public:
  explicit RecordingProxy(QLXPCTarnixHelperProtocol* innerProxy = nullptr) : inner(innerProxy) {}
  QLXPCTarnixHelperProtocol* inner;

  QStringList requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
  }
  std::vector<QLRepairPermissionsRepresentableResult> repairReply() const {
    std::lock_guard lock(mutex_);
    return repairReply_;
  }
  // Answers every held request: true, or an empty list; with `refusal`, as a helper that
  // refused them.
  void release(std::optional<QLXPCHelperRefusal> refusal = std::nullopt) {
    std::deque<std::function<void()>> held;
    {
      std::lock_guard lock(mutex_);
      held.swap(held_);
    }
    const QLRefusalScope scope(std::move(refusal));
    for (auto& answer : held) answer();
  }

  void test(QLReply<std::int64_t> reply) override { inner->test(std::move(reply)); }
  void terminate() override {
    record("terminate");
    if (inner) inner->terminate();
  }
  void uninstall(QLReply<bool> reply) override { inner->uninstall(std::move(reply)); }
  void getVersion(QLReply<std::string> reply) override { inner->getVersion(std::move(reply)); }
  void test2(QLReply<std::int64_t> reply) override {
    record("test2");
    if (inner) inner->test2(std::move(reply));
  }

  void repairWithFolder(std::string folder, QLOSVolume volume, QLReply<bool> reply) override {
    record("repairWithFolder " + folder);
    if (inner) return inner->repairWithFolder(std::move(folder), std::move(volume), counted(std::move(reply)));
    hold(std::move(reply), true);
  }
  void repairDiskPermissionsOnTargetVolume(
      QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) override {
    record("repairDiskPermissions " + volume.mountPoint);
    auto keep = [this, reply = std::move(reply)](std::vector<QLRepairPermissionsRepresentableResult> results) {
      {
        std::lock_guard lock(mutex_);
        repairReply_ = results;
        ++replies_;
      }
      reply(std::move(results));
    };
    if (inner) return inner->repairDiskPermissionsOnTargetVolume(std::move(volume), std::move(keep));
    hold(QLReply<std::vector<QLRepairPermissionsRepresentableResult>>(std::move(keep)),
         std::vector<QLRepairPermissionsRepresentableResult>{});
  }
  void rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) override {
    record("rebuildCaches " + volume.mountPoint);
    if (inner) return inner->rebuildCachesOnTargetVolume(std::move(volume), counted(std::move(reply)));
    hold(std::move(reply), true);
  }
  void installWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume,
                                   QLReply<std::vector<QLKernelExtension>>) override {
    record("installWithKernelExtensions");
  }
  void backupWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume, std::string,
                                  QLReply<std::vector<QLKernelExtension>>) override {
    record("backupWithKernelExtensions");
  }
  void changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) override {
    record("changeMaximumThreadsNumber " + std::to_string(number));
    if (inner) inner->changeMaximumThreadsNumber(number, std::move(reply));
  }
  void installBrambleFromSourcePath(std::string, std::string, QLReply<bool>) override { record("installBramble"); }
  void uninstallBrambleFromPath(std::string, QLReply<bool>) override { record("uninstallBramble"); }
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t, QLReply<bool>) override { record("applyBooter"); }

 private:
  void record(const std::string& request) {
    std::lock_guard lock(mutex_);
    requests_ << QString::fromStdString(request);
  }
  template <typename T>
  QLReply<T> counted(QLReply<T> reply) {
    return [this, reply = std::move(reply)](T value) {
      {
        std::lock_guard lock(mutex_);
        ++replies_;
      }
      reply(std::move(value));
    };
  }
  template <typename T>
  void hold(QLReply<T> reply, T value) {
    std::lock_guard lock(mutex_);
    held_.push_back([this, reply = std::move(reply), value = std::move(value)] {
      {
        std::lock_guard again(mutex_);
        ++replies_;
      }
      reply(value);
    });
  }

  mutable std::mutex mutex_;
  QStringList requests_;
  int replies_ = 0;
  std::vector<QLRepairPermissionsRepresentableResult> repairReply_;
  std::deque<std::function<void()>> held_;
};

}  // namespace tarnix::test
