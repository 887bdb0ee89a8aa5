#include "thumbnail_job.h"

#include <new>
#include <system_error>

#include "document_kind.h"
#include "image/image32.h"
#include "platform/file_stream.h"
#include "provider/compose_thumbnail.h"

namespace vfkthumb {

std::string DisplayName(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

namespace {

JobResult Run(const std::filesystem::path& input, const std::filesystem::path& output,
              PictureFormat format, std::int32_t side) {
  std::error_code openError;
  ComRef<IStream> stream = OpenFileStream(input, openError);
  if (!stream)
    return {Outcome::kError, DisplayName(input) + ": cannot open: " + openError.message()};
  const Loader loader = LoaderForDocument(stream.Get());
  if (!loader) return {Outcome::kNoThumbnail, DisplayName(input) + ": not a recognised document"};
  oxan::CImage32 square;
  StoredSize stored;
  if (!ComposeThumbnail(loader, stream.Get(), static_cast<std::uint32_t>(side), square, &stored))
    return {Outcome::kNoThumbnail, DisplayName(input) + ": no thumbnail (damaged, or none stored)"};
  if (square.Width() != side) return {Outcome::kError, DisplayName(input) + ": out of memory"};
  std::string writeError;
  if (!WritePicture(output, format, square, side, stored, writeError))
    return {Outcome::kError, DisplayName(output) + ": cannot write: " + writeError};
  return {Outcome::kWritten, {}};
}

}  // namespace

JobResult GuardedJob(const std::filesystem::path& input,
                     const std::function<JobResult()>& job) noexcept {
  try {
    try {
      return job();
    } catch (const std::bad_alloc&) {
      return {Outcome::kError, DisplayName(input) + ": out of memory"};
    } catch (const std::exception& error) {
      return {Outcome::kError, DisplayName(input) + ": failed: " + error.what()};
    } catch (...) {
      return {Outcome::kError, DisplayName(input) + ": failed for an unknown reason"};
    }
  } catch (...) {  // building the message itself failed
    return {Outcome::kError, {}};
  }
}

JobResult ThumbnailFile(const std::filesystem::path& input, const std::filesystem::path& output,
                        PictureFormat format, std::int32_t side) {
  return GuardedJob(input, [&] { return Run(input, output, format, side); });
}

}  // namespace vfkthumb
