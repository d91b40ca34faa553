#pragma once
// Child processes of the Qt suites that cannot outlive them.
#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>
#include <csignal>

namespace tarnix::test {

// `process`, once started, is killed when this process ends in any way (a crash, an abort, the
// runner's kill on a timeout), so nothing a test starts outlives it.
inline void endWithThisProcess(QProcess& process) {
  process.setChildProcessModifier([parent = ::getpid()] {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
  });
}

}  // namespace tarnix::test
