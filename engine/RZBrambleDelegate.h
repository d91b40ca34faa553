#pragma once

namespace tarnix {

// The owner of a repair job: phases on the job's thread, progress in per cent (at most one
// notification per interval) on the job's thread or the serial working queue, never at the
// same time.
class RZBrambleDelegate {
 public:
  virtual ~RZBrambleDelegate() = default;
  virtual void willSetupManager() = 0;
  virtual void didSetupManager() = 0;
  virtual void willVerifyPermissions() = 0;
  virtual void didVerifyPermissions() = 0;
  virtual void willRepairPermissions() = 0;
  virtual void didRepairPermissions() = 0;
  virtual void globalProgressDidChangeWithNewProgress(double progress) = 0;
};

}  // namespace tarnix
