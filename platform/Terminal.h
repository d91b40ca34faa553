#pragma once

namespace tarnix::platform {

bool isTerminal(int fd);
// Columns of the terminal on `fd`, or 80 when unknown.
int terminalColumns(int fd);

}  // namespace tarnix::platform
