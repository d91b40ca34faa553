#include "cli/Report.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tarnix::cli {
namespace {

std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  std::size_t length = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 && byte < 0xE0 ? 2 : 0;
  if (byte >= 0xF5 || length == 0 || i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  return length;
}

void appendNumber(std::string& out, std::int64_t value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

constexpr std::size_t kPiece = 1 << 20;

}  // namespace

ReportWriter::ReportWriter(std::FILE* stream, bool json, ProgressBar* bar) : stream_(stream), json_(json), bar_(bar) {
  out_.reserve(kPiece + 4096);
}

void ReportWriter::didProduceResults(std::span<QLRepairPermissionsResult> results) {
  for (const auto& result : results) {
    // An item's results come one after another: a new item starts where the item changes.
    const QLFileSystemResource resource = result.fileSystemResource();
    if (!last_ || *last_ != resource) ++items_;
    last_ = resource;
    if (result.attributeStatus() == QLFileSystemResourceAttributeStatus::failed) ++failed_;
    if (json_) {
      appendJson(result, out_);
    } else {
      // Every piece ends a line, where the progress bar can be drawn and cleared again.
      if (attributes_ > 0) out_.push_back('\n');
      result.appendDescription(out_);
      out_.push_back('\n');
    }
    ++attributes_;
    write(false);
  }
}

void ReportWriter::finish() { write(true); }

void ReportWriter::write(bool always) {
  if (out_.size() < kPiece && !(always && !out_.empty())) return;
  if (bar_) bar_->finish();
  std::fwrite(out_.data(), 1, out_.size(), stream_);
  out_.clear();
  if (bar_) {
    std::fflush(stream_);
    bar_->draw();
  }
}

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '"' || byte == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (byte < 0x20 || byte == 0x7F) {
      out.append("\\u00").push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
      ++i;
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (const std::size_t length = utf8SequenceLength(text, i)) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      // A file name need not be UTF-8; keep the byte recognisable rather than drop it.
      out.append("\\u00").push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
      ++i;
    }
  }
  out.push_back('"');
}

void appendJson(const QLRepairPermissionsResult& result, std::string& out) {
  out.append("{\"identifier\":\"").append(result.identifier()).append("\",\"jobType\":");
  appendJsonString(out, rawValue(result.jobType()));
  out.append(",\"path\":");
  thread_local std::string path;
  const QLFileSystemResource resource = result.fileSystemResource();
  path.assign(resource.list().mountPoint());
  resource.appendRelativePath(path);
  appendJsonString(out, path);
  out.append(",\"reason\":");
  appendJsonString(out, englishText(result.attributeMismatchedType()));
  out.append(",\"current\":");
  appendNumber(out, result.currentAttribute());
  out.append(",\"correct\":");
  appendNumber(out, result.correctAttribute());
  out.append(",\"new\":");
  if (result.newAttribute())
    appendNumber(out, *result.newAttribute());
  else
    out.append("null");
  out.append(",\"status\":");
  appendJsonString(out, text(result.attributeStatus()));
  out.append("}\n");
}

ProgressBar::ProgressBar(std::FILE* stream, int columns) : stream_(stream), columns_(columns) {}

void ProgressBar::phase(const char* text) {
  phase_ = text;
  draw();
}

void ProgressBar::globalProgressDidChangeWithNewProgress(double progress) {
  progress_ = progress;
  draw();
}

void ProgressBar::draw() {
  if (!stream_) return;
  const int width = std::max(10, std::min(50, columns_ - 40));
  const int filled = static_cast<int>(progress_ / 100.0 * width + 0.5);
  std::string line = "\r[";
  line.append(static_cast<std::size_t>(std::clamp(filled, 0, width)), '#');
  line.append(static_cast<std::size_t>(width - std::clamp(filled, 0, width)), '.');
  char percent[32];
  std::snprintf(percent, sizeof percent, "] %6.2f%%  ", progress_);
  line.append(percent).append(phase_).append("\033[K");
  std::fputs(line.c_str(), stream_);
  std::fflush(stream_);
}

void ProgressBar::finish() {
  if (!stream_) return;
  std::fputs("\r\033[K", stream_);
  std::fflush(stream_);
}

}  // namespace tarnix::cli
