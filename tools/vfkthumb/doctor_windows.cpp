// The checks of the Windows registration (which handler the shell would ask
// for each extension, and whether it can make a thumbnail) are not built
// yet: say so plainly rather than report a healthy install.
#include "doctor.h"

namespace vfkthumb {

int RunDoctor(std::ostream& out) {
  out << "unknown  vfkthumb doctor cannot check the Windows registration yet\n";
  return 1;
}

}  // namespace vfkthumb
