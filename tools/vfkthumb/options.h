// The command line of vfkthumb.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vfkthumb {

inline constexpr std::int32_t kDefaultSize = 256;
inline constexpr std::int32_t kMaxSize = 4096;
inline constexpr std::int32_t kMaxJobs = 256;
inline constexpr std::int32_t kMaxBoxSide = 8192;

// `--box WxH --background RRGGBB`: the preview pane's picture instead of
// the thumbnail.
struct PreviewBox {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t background = 0xFFFFFF;  // 0xRRGGBB
};

struct Options {
  bool help = false;
  bool version = false;
  bool doctor = false;  // `vfkthumb doctor`
  std::int32_t size = kDefaultSize;
  std::int32_t jobs = 0;  // 0: one per processor
  std::optional<std::filesystem::path> outputDir;
  std::vector<std::filesystem::path> inputs;
  std::optional<std::filesystem::path> output;  // single mode only
  std::optional<PreviewBox> box;                // single mode only
};

// Options from the arguments after the program name; a usage message in
// `error` when they do not make a command.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

extern const char kUsage[];

}  // namespace vfkthumb
