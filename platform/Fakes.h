#pragma once
// Stand-ins for tests: a volume whose attribute calls can be made to fail, failures injected
// into the tree operations, and a process runner that records its calls.
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Beneath.h"
#include "platform/Process.h"
#include "platform/TreeOperations.h"
#include "platform/VolumeTree.h"

namespace tarnix::platform {

// Items keyed by their path relative to the root. Shared by every tree it opens; safe to use
// from several workers. Changing the owner of a regular file clears set-user-id and set-group-id, as Linux does.
class FakeVolumeTrees final : public VolumeTrees {
 public:
  enum class Operation { owner, permissions };

  void add(const std::string& relative, FileAttributes attributes);
  // The next and every later change of that kind on `relative` fails with `error`.
  void failOn(const std::string& relative, Operation operation, int error);
  std::optional<FileAttributes> item(const std::string& relative) const;
  // "owner /a 0:-1", "mode /a 755" in call order (owner and group as -1 when untouched).
  std::vector<std::string> calls() const;
  void refuseOpen(bool refuse) { refuseOpen_ = refuse; }

  std::unique_ptr<VolumeTree> open(const std::string& root) override;

 private:
  friend class FakeVolumeTree;
  mutable std::mutex mutex_;
  std::map<std::string, FileAttributes> items_;
  std::map<std::pair<std::string, Operation>, int> failures_;
  std::vector<std::string> calls_;
  bool refuseOpen_ = false;
};

// While it lives, the next `times` calls of the kind `call` that the tree operations
// (platform/TreeOperations.h) make on an item whose last path component is `name` fail with
// `error`, in any thread: a fault met once mid-way, after which the operation's own clean-up
// runs as it would. One at a time.
class FailingTreeCall {
 public:
  FailingTreeCall(TreeCall call, std::string name, int error, int times = 1)
      : fault_{call, std::move(name), error, times} {
    detail::setTreeFault(&fault_);
  }
  ~FailingTreeCall() { detail::setTreeFault(nullptr); }
  FailingTreeCall(const FailingTreeCall&) = delete;
  FailingTreeCall& operator=(const FailingTreeCall&) = delete;

 private:
  detail::TreeFault fault_;
};

class FakeProcessRunner final : public ProcessRunner {
 public:
  struct Call {
    std::string program;
    std::vector<std::string> arguments;
  };
  // Programs not given here cannot be started.
  void setExitStatus(const std::string& program, int status) { statuses_[program] = status; }
  const std::vector<Call>& calls() const { return calls_; }

  std::optional<int> run(const std::string& program, const std::vector<std::string>& arguments) override;

 private:
  std::map<std::string, int> statuses_;
  std::vector<Call> calls_;
};

}  // namespace tarnix::platform
