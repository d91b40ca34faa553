#include "platform/Fakes.h"

#include <cerrno>

namespace tarnix::platform {

class FakeVolumeTree final : public VolumeTree {
 public:
  explicit FakeVolumeTree(FakeVolumeTrees& trees) : trees_(trees) {}

  std::optional<FileAttributes> attributes(std::string_view relative) override {
    return trees_.item(std::string(relative));
  }

  int changeOwner(std::string_view relative, std::optional<std::uint32_t> uid,
                  std::optional<std::uint32_t> gid) override {
    std::lock_guard lock(trees_.mutex_);
    const std::string path(relative);
    trees_.calls_.push_back("owner " + path + " " + (uid ? std::to_string(*uid) : "-1") + ":" +
                            (gid ? std::to_string(*gid) : "-1"));
    if (auto failure = trees_.failures_.find({path, FakeVolumeTrees::Operation::owner});
        failure != trees_.failures_.end())
      return failure->second;
    auto item = trees_.items_.find(path);
    if (item == trees_.items_.end()) return ENOENT;
    if (uid) item->second.uid = *uid;
    if (gid) item->second.gid = *gid;
    if ((item->second.mode & 0170000u) == 0100000u) item->second.mode &= ~06000u;
    return 0;
  }

  int changePermissions(std::string_view relative, std::uint32_t permissions) override {
    std::lock_guard lock(trees_.mutex_);
    const std::string path(relative);
    trees_.calls_.push_back("mode " + path + " " + std::to_string(permissions >> 9 & 7) +
                            std::to_string(permissions >> 6 & 7) + std::to_string(permissions >> 3 & 7) +
                            std::to_string(permissions & 7));
    if (auto failure = trees_.failures_.find({path, FakeVolumeTrees::Operation::permissions});
        failure != trees_.failures_.end())
      return failure->second;
    auto item = trees_.items_.find(path);
    if (item == trees_.items_.end()) return ENOENT;
    if (item->second.isSymlink()) return EOPNOTSUPP;
    item->second.mode = (item->second.mode & ~07777u) | (permissions & 07777u);
    return 0;
  }

 private:
  FakeVolumeTrees& trees_;
};

void FakeVolumeTrees::add(const std::string& relative, FileAttributes attributes) {
  std::lock_guard lock(mutex_);
  items_[relative] = attributes;
}

void FakeVolumeTrees::failOn(const std::string& relative, Operation operation, int error) {
  std::lock_guard lock(mutex_);
  failures_[{relative, operation}] = error;
}

std::optional<FileAttributes> FakeVolumeTrees::item(const std::string& relative) const {
  std::lock_guard lock(mutex_);
  auto found = items_.find(relative);
  if (found == items_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> FakeVolumeTrees::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::unique_ptr<VolumeTree> FakeVolumeTrees::open(const std::string&) {
  if (refuseOpen_) return nullptr;
  return std::make_unique<FakeVolumeTree>(*this);
}

std::optional<int> FakeProcessRunner::run(const std::string& program, const std::vector<std::string>& arguments) {
  calls_.push_back({program, arguments});
  auto found = statuses_.find(program);
  if (found == statuses_.end()) return std::nullopt;
  return found->second;
}

}  // namespace tarnix::platform
