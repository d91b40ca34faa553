#include "engine/RZRecordTable.h"

#include <cstring>

namespace tarnix {
namespace {
constexpr std::uint32_t kBlockSize = std::uint32_t{1} << 20;
constexpr std::size_t kMaxBlocks = (std::uint64_t{1} << 32) / kBlockSize;
}  // namespace

std::string_view RZRecordTable::text(std::uint32_t index) const {
  const RZFileSystemResource& record = records_[index];
  return {blocks_[record.text >> kBlockShift].get() + (record.text & (kBlockSize - 1)), record.textLength};
}

void RZRecordTable::appendPath(std::uint32_t index, std::string& out) const {
  // Parents always come before their children, so the walk up ends.
  std::size_t length = 0;
  for (std::uint32_t i = index;;) {
    const RZFileSystemResource& record = records_[i];
    length += record.textLength;
    if (record.parent == kNoParent) break;
    length += 1;
    i = record.parent;
  }
  const std::size_t start = out.size();
  out.resize(start + length);
  char* end = out.data() + start + length;
  for (std::uint32_t i = index;;) {
    const std::string_view part = text(i);
    end -= part.size();
    if (!part.empty()) std::memcpy(end, part.data(), part.size());
    if (records_[i].parent == kNoParent) break;
    *--end = '/';
    i = records_[i].parent;
  }
}

std::string RZRecordTable::path(std::uint32_t index) const {
  std::string out;
  appendPath(index, out);
  return out;
}

bool RZRecordTable::add(std::uint32_t parent, std::string_view text, std::uint16_t mode, std::uint32_t uid,
                        std::uint32_t gid) {
  if (text.size() > kMaxTextLength || (parent != kNoParent && parent >= records_.size())) return false;
  if (blocks_.empty() || used_ + text.size() > kBlockSize) {
    if (blocks_.size() == kMaxBlocks) return false;
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
    used_ = 0;
  }
  const auto offset = static_cast<std::uint32_t>((blocks_.size() - 1) << kBlockShift) + used_;
  if (!text.empty()) std::memcpy(blocks_.back().get() + used_, text.data(), text.size());
  used_ += static_cast<std::uint32_t>(text.size());
  records_.push_back({parent, offset, static_cast<std::uint16_t>(text.size()), mode, uid, gid});
  return true;
}

void RZRecordTable::clear() {
  std::vector<RZFileSystemResource>().swap(records_);
  std::vector<std::unique_ptr<char[]>>().swap(blocks_);
  used_ = 0;
}

}  // namespace tarnix
