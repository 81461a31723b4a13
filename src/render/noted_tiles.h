#pragma once
// A tile file's draw, noted rather than done (platform/draw_notes.h). The
// file is read as drawing reads it, but each is decoded once: while the
// game writes no file, a name seen before stands for the same image.
#include <string>

#include "platform/image.h"
#include "platform/platform.h"

namespace delve {

// (x, y) in page pixels; the screen's notes must be set.
void noteTileFile(Platform& p, int x, int y, const std::string& fileName, Combine mode);
// A font tile (`map` false) or map tile by its code, drawn "pset" at a
// logical position: most draws of a frame, so their names are made only
// when the file must be read again.
void noteCodedTile(Platform& p, int x, int y, int code, bool map);

}  // namespace delve
