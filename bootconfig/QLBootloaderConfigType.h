#pragma once

namespace tarnix {

enum class QLBootloaderConfigType { clover, chameleon, opencore, unsupported };

}  // namespace tarnix
