#pragma once
// The commands beyond the permission check, each with `arguments` as given to bramble (the
// command's own name first).
#include <string>
#include <vector>

namespace tarnix::cli {

int runKexts(const std::vector<std::string>& arguments);     // kexts list|install|backup|repair-folder
int runCaches(const std::vector<std::string>& arguments);    // caches rebuild
int runBootWord(const std::vector<std::string>& arguments);  // sip|booter show|set
int runJournal(const std::vector<std::string>& arguments);   // journal
int runUndo(const std::vector<std::string>& arguments);      // undo

}  // namespace tarnix::cli
