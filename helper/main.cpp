#include "helper/QLHelperDaemon.h"

int main(int argc, char** argv) { return tarnix::runHelperDaemon(std::vector<std::string>(argv + 1, argv + argc)); }
