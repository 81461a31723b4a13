// Placeholder until the window backend is written; replace the whole file.
#include "platform/sdl/sdl_backend.h"

namespace delve {

std::unique_ptr<Backend> createSdlBackend() { return nullptr; }

}  // namespace delve
