// vfkthumb: writes the thumbnails stored in documents as PNG or BMP files.
#include <cstdio>
#include <exception>
#include <iostream>

#include "cli.h"
#include "interrupt_cleanup.h"
#include "platform/command_line.h"
#include "platform/information_box.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  // A damaged document is reported on stderr, not in a window.
  platform::SuppressInformationBoxes(true);
  vfkthumb::InstallInterruptCleanup();
  try {
    return vfkthumb::RunVfkthumb(platform::CommandLineArguments(argc, argv), std::cout, std::cerr,
                                 platform::IsTerminal(stderr));
  } catch (const std::exception& error) {
    std::cerr << "vfkthumb: " << error.what() << '\n';
    return vfkthumb::kExitError;
  } catch (...) {
    std::cerr << "vfkthumb: failed for an unknown reason\n";
    return vfkthumb::kExitError;
  }
}
