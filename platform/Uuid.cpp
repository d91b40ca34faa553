#include "platform/Uuid.h"

#include <uuid/uuid.h>

namespace tarnix::platform {

std::string newUuidString() {
  uuid_t bytes;
  uuid_generate_random(bytes);
  char text[37];
  uuid_unparse_upper(bytes, text);
  return std::string(text, 36);
}

}  // namespace tarnix::platform
