// vfkthumb doctor: says, one line per finding, whether the desktop will ask
// vfkthumb for thumbnails of both formats and whether it can make them.
#pragma once

#include <ostream>

namespace vfkthumb {

// 0 when nothing found would stop thumbnails, 1 otherwise.
int RunDoctor(std::ostream& out);

}  // namespace vfkthumb
