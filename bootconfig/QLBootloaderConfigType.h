#pragma once

namespace tarnix {

enum class QLBootloaderConfigType { clover, chameleon, unsupported };

}  // namespace tarnix
