#pragma once
// What bramble prints: the text report, JSON lines, the progress bar.
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/QLRepairPermissionsResult.h"
#include "engine/RZBrambleDelegate.h"
#include "engine/RZResultSink.h"

namespace tarnix::cli {

class ProgressBar;

// Writes a run's report while its results arrive: the text form of each result with a blank
// line between them, or one JSON object a line; pieces of about a megabyte go to `stream`.
// Counts what it wrote for the summary.
class ReportWriter final : public RZResultSink {
 public:
  // `bar`, when given, shares the terminal: its line is cleared before each piece.
  ReportWriter(std::FILE* stream, bool json, ProgressBar* bar = nullptr);
  void didProduceResults(std::span<QLRepairPermissionsResult> results) override;
  // Writes what is left.
  void finish();

  std::size_t items() const { return items_; }  // items with at least one result
  std::size_t attributes() const { return attributes_; }
  std::size_t failed() const { return failed_; }

 private:
  void write(bool always);

  std::FILE* stream_;
  bool json_;
  ProgressBar* bar_;
  std::string out_;
  std::size_t items_ = 0;
  std::size_t attributes_ = 0;
  std::size_t failed_ = 0;
  std::optional<QLFileSystemResource> last_;
};

// One JSON object and a line feed.
void appendJson(const QLRepairPermissionsResult& result, std::string& out);
// A JSON string literal; bytes that are not UTF-8 become \u00XX escapes.
void appendJsonString(std::string& out, std::string_view text);

// Draws "[#####.....]  45.67%  phase" on a terminal; a no-op when `stream` is null.
class ProgressBar final : public RZBrambleDelegate {
 public:
  ProgressBar(std::FILE* stream, int columns);
  void willSetupManager() override { phase("Reading receipts"); }
  void didSetupManager() override {}
  void willVerifyPermissions() override { phase("Verifying"); }
  void didVerifyPermissions() override {}
  void willRepairPermissions() override { phase("Repairing"); }
  void didRepairPermissions() override {}
  void globalProgressDidChangeWithNewProgress(double progress) override;
  // Clears the line; draw() puts it back.
  void finish();
  void draw();

 private:
  void phase(const char* text);

  std::FILE* stream_;
  int columns_;
  double progress_ = 0;
  std::string phase_;
};

}  // namespace tarnix::cli
