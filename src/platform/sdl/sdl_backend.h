#pragma once
// The real window: the visible page through the palette into a streaming
// texture, scaled by whole factors and centred; keys from the keyboard.
#include <memory>

#include "platform/backend.h"

namespace delve {

// Null when the video system cannot start (no display).
std::unique_ptr<Backend> createSdlBackend();

}  // namespace delve
