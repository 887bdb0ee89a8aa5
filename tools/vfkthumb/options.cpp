#include "options.h"

#include <charconv>

namespace vfkthumb {

const char kUsage[] =
    "Usage: vfkthumb [--size N] INPUT OUTPUT\n"
    "       vfkthumb [--size N] [--jobs N] --output-dir DIR INPUT...\n"
    "       vfkthumb --box WxH [--background RRGGBB] INPUT OUTPUT.png\n"
    "       vfkthumb doctor\n"
    "\n"
    "Writes the thumbnail stored in a native (.vfk) or TNW (.vfq) document as an\n"
    "N x N picture: the stored picture fitted into the square with its aspect\n"
    "ratio kept, centred on transparency. The document's format is told from its\n"
    "first bytes. OUTPUT ending in .png gets an 8-bit RGBA PNG, ending in .bmp a\n"
    "32-bit bottom-up BMP holding the bitmap the shell extension hands out. With\n"
    "--output-dir every INPUT becomes DIR/<input file name>.png; a batch in which\n"
    "two inputs would give the same output file, or an output would replace an\n"
    "input, is refused before any work. An existing output is replaced only by a\n"
    "whole new picture: a failed write leaves it as it was. The new file keeps its\n"
    "permissions and is written through symbolic links; other hard links keep the\n"
    "earlier picture. An existing empty output is written in place.\n"
    "With --box the output is what the shell's preview pane shows of the document\n"
    "in a W x H pane: the stored picture fitted into it with its aspect ratio kept,\n"
    "never enlarged, centred over the background colour (pictures larger than\n"
    "4096 pixels are first shrunk to fit 4096 x 4096, as the pane keeps them).\n"
    "'vfkthumb doctor' checks that the desktop will ask vfkthumb for thumbnails\n"
    "and that it can make them: one line per finding, exit status 1 when\n"
    "something would stop thumbnails.\n"
    "\n"
    "Options:\n"
    "  -s, --size N            edge of the square in pixels, 1 to 4096 (default 256)\n"
    "  -o, --output-dir DIR    batch mode: write into DIR (created if missing)\n"
    "  -j, --jobs N            documents done at once in batch mode, 1 to 256\n"
    "                          (default: one per processor)\n"
    "  -b, --box WxH           the preview pane's picture, each side 1 to 8192\n"
    "      --background RRGGBB the pane's colour in hexadecimal (default ffffff)\n"
    "  -h, --help              show this help and exit\n"
    "      --version           show the version and exit\n"
    "\n"
    "Exit status: 0 every thumbnail was written; 1 some document had none (not a\n"
    "recognised document, damaged, or no thumbnail stored) and got no output\n"
    "file; 2 usage or I/O error.\n";

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool ParseCount(const std::string& text, std::int32_t low, std::int32_t high, std::int32_t& value) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  return failure == std::errc() && stop == end && value >= low && value <= high;
}

// "WxH" with both sides in 1..kMaxBoxSide.
bool ParseBox(const std::string& text, PreviewBox& box) {
  const std::size_t x = text.find_first_of("xX");
  return x != text.npos && ParseCount(text.substr(0, x), 1, kMaxBoxSide, box.width) &&
         ParseCount(text.substr(x + 1), 1, kMaxBoxSide, box.height);
}

// Six hexadecimal digits.
bool ParseColour(const std::string& text, std::uint32_t& colour) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, colour, 16);
  return text.size() == 6 && failure == std::errc() && stop == end;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  PreviewBox boxOption;
  bool sizeGiven = false, boxGiven = false, backgroundGiven = false;
  std::vector<std::filesystem::path> operands;
  bool onlyOperands = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (onlyOperands || arg.empty() || arg[0] != '-' || arg == "-") {
      operands.emplace_back(PathFromUtf8(arg));
      continue;
    }
    if (arg == "--") {
      onlyOperands = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != arg.npos) {
      inlineValue = arg.substr(equals + 1);
      arg.resize(equals);
    }
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    const bool size = arg == "-s" || arg == "--size";
    const bool jobs = arg == "-j" || arg == "--jobs";
    const bool dir = arg == "-o" || arg == "--output-dir";
    const bool box = arg == "-b" || arg == "--box";
    const bool background = arg == "--background";
    if (!size && !jobs && !dir && !box && !background) {
      error = "unknown option " + arg;
      return std::nullopt;
    }
    if (!inlineValue && i + 1 == args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    const std::string value = inlineValue ? *inlineValue : args[++i];
    if (size && !ParseCount(value, 1, kMaxSize, options.size)) {
      error = "--size must be a whole number from 1 to " + std::to_string(kMaxSize) + ", not \"" +
              value + "\"";
      return std::nullopt;
    }
    if (jobs && !ParseCount(value, 1, kMaxJobs, options.jobs)) {
      error = "--jobs must be a whole number from 1 to " + std::to_string(kMaxJobs) + ", not \"" +
              value + "\"";
      return std::nullopt;
    }
    if (dir) options.outputDir = PathFromUtf8(value);
    if (box && !ParseBox(value, boxOption)) {
      error = "--box must be WIDTHxHEIGHT, each a whole number from 1 to " +
              std::to_string(kMaxBoxSide) + ", not \"" + value + "\"";
      return std::nullopt;
    }
    if (background && !ParseColour(value, boxOption.background)) {
      error = "--background must be six hexadecimal digits RRGGBB, not \"" + value + "\"";
      return std::nullopt;
    }
    sizeGiven = sizeGiven || size;
    boxGiven = boxGiven || box;
    backgroundGiven = backgroundGiven || background;
  }
  if (options.help || options.version) return options;
  if (operands.size() == 1 && operands[0] == "doctor" && !options.outputDir) {
    options.doctor = true;
    return options;
  }
  if (backgroundGiven && !boxGiven) {
    error = "--background needs --box";
    return std::nullopt;
  }
  if (boxGiven && (sizeGiven || options.outputDir)) {
    error = sizeGiven ? "--box and --size exclude each other" : "--box takes one INPUT and OUTPUT";
    return std::nullopt;
  }
  if (boxGiven) options.box = boxOption;
  if (options.outputDir) {
    if (operands.empty()) {
      error = "no input documents";
      return std::nullopt;
    }
    options.inputs = std::move(operands);
    return options;
  }
  if (options.jobs != 0) {
    error = "--jobs needs --output-dir";
    return std::nullopt;
  }
  if (operands.size() != 2) {
    error = operands.size() < 2 ? "expected an INPUT and an OUTPUT"
                                : "too many operands (for several documents use --output-dir)";
    return std::nullopt;
  }
  options.inputs = {operands[0]};
  options.output = operands[1];
  return options;
}

}  // namespace vfkthumb
