#include "cli.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include "batch.h"
#include "doctor.h"
#include "options.h"
#include "picture_files.h"
#include "thumbnail_job.h"

namespace vfkthumb {
namespace {

int ExitStatus(const BatchSummary& summary) {
  if (summary.errors > 0) return kExitError;
  return summary.noThumbnail > 0 ? kExitNoThumbnail : kExitWritten;
}

int Usage(std::ostream& err, const std::string& problem) {
  err << "vfkthumb: " << problem << "\nTry 'vfkthumb --help'.\n";
  return kExitError;
}

int RunBatchMode(const Options& options, std::ostream& out, std::ostream& err, bool terminal) {
  // One output file per input, none of them an input: two inputs that would
  // write the same file would lose one thumbnail, and an output over an
  // input would lose a document, so the batch is refused before any work.
  if (const auto shared = FirstSharedOutput(options.inputs)) {
    err << "vfkthumb: " << DisplayName(options.inputs[shared->first]) << " and "
        << DisplayName(options.inputs[shared->second]) << " would both be written to "
        << DisplayName(BatchOutput(*options.outputDir, options.inputs[shared->first]))
        << "; nothing was done\n";
    return kExitError;
  }
  if (const auto over = FirstOutputOverInput(options.inputs, *options.outputDir)) {
    err << "vfkthumb: the thumbnail of " << DisplayName(options.inputs[over->first])
        << " would be written over the input " << DisplayName(options.inputs[over->second])
        << "; nothing was done\n";
    return kExitError;
  }
  std::error_code error;
  std::filesystem::create_directories(*options.outputDir, error);
  if (error) {
    err << "vfkthumb: " << DisplayName(*options.outputDir) << ": cannot create: " << error.message()
        << '\n';
    return kExitError;
  }
  const std::int32_t jobs =
      options.jobs > 0
          ? options.jobs
          : static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  const BatchSummary summary =
      RunBatch(options.inputs, *options.outputDir, options.size, jobs, err, terminal);
  out << "vfkthumb: " << options.inputs.size() << " documents: " << summary.written
      << " thumbnails written, " << summary.noThumbnail << " without a thumbnail, "
      << summary.errors << " failed\n";
  return ExitStatus(summary);
}

}  // namespace

int RunVfkthumb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool terminal) {
  std::string problem;
  const std::optional<Options> options = ParseOptions(args, problem);
  if (!options) return Usage(err, problem);
  if (options->help) {
    out << kUsage;
    return kExitWritten;
  }
  if (options->version) {
    out << "vfkthumb " << VFK_VERSION << '\n';
    return kExitWritten;
  }
  if (options->doctor) return RunDoctor(out);
  if (options->outputDir) return RunBatchMode(*options, out, err, terminal);
  const std::optional<PictureFormat> format = PictureFormatOf(*options->output);
  if (!format) return Usage(err, "OUTPUT must end in .png or .bmp");
  if (options->box && *format != PictureFormat::kPng)
    return Usage(err, "with --box, OUTPUT must end in .png");
  const JobResult result =
      options->box
          ? PreviewFile(options->inputs.front(), *options->output, *options->box)
          : ThumbnailFile(options->inputs.front(), *options->output, *format, options->size);
  if (!result.message.empty()) err << "vfkthumb: " << result.message << '\n';
  switch (result.outcome) {
    case Outcome::kWritten:
      return kExitWritten;
    case Outcome::kNoThumbnail:
      return kExitNoThumbnail;
    case Outcome::kError:
      break;
  }
  return kExitError;
}

}  // namespace vfkthumb
