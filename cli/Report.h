#pragma once
// What bramble prints: the text report, JSON lines, the progress bar.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/QLRepairPermissionsResult.h"
#include "engine/RZBrambleDelegate.h"

namespace tarnix::cli {

// The text form of every result, blank lines between them, written to `stream` in pieces (a
// whole volume's report is tens of megabytes).
void writeTextReport(const std::vector<QLRepairPermissionsResult>& results, std::FILE* stream);
// One JSON object a line.
void writeJsonReport(const std::vector<QLRepairPermissionsResult>& results, std::FILE* stream);
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
  // Clears the line.
  void finish();

 private:
  void phase(const char* text);
  void draw();

  std::FILE* stream_;
  int columns_;
  double progress_ = 0;
  std::string phase_;
};

}  // namespace tarnix::cli
