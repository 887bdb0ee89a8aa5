#include "thumbnail_job.h"

#include <new>
#include <optional>
#include <system_error>

#include "document_kind.h"
#include "image/image32.h"
#include "platform/file_stream.h"
#include "preview/preview_picture.h"
#include "provider/compose_thumbnail.h"

namespace vfkthumb {

std::string DisplayName(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

namespace {

// Opens the document and tells its format; nullopt with the result to give
// when it cannot be read.
std::optional<JobResult> OpenDocument(const std::filesystem::path& input, ComRef<IStream>& stream,
                                      Loader& loader) {
  std::error_code openError;
  stream = OpenFileStream(input, openError);
  if (!stream)
    return JobResult{Outcome::kError, DisplayName(input) + ": cannot open: " + openError.message()};
  loader = LoaderForDocument(stream.Get());
  if (!loader)
    return JobResult{Outcome::kNoThumbnail, DisplayName(input) + ": not a recognised document"};
  return std::nullopt;
}

JobResult NoThumbnail(const std::filesystem::path& input) {
  return {Outcome::kNoThumbnail, DisplayName(input) + ": no thumbnail (damaged, or none stored)"};
}

JobResult Write(const std::filesystem::path& output, PictureFormat format,
                const oxan::CImage32& picture, StoredSize stored) {
  std::string writeError;
  if (!WritePicture(output, format, picture, picture.Width(), stored, writeError))
    return {Outcome::kError, DisplayName(output) + ": cannot write: " + writeError};
  return {Outcome::kWritten, {}};
}

JobResult Run(const std::filesystem::path& input, const std::filesystem::path& output,
              PictureFormat format, std::int32_t side) {
  ComRef<IStream> stream;
  Loader loader = nullptr;
  if (auto failed = OpenDocument(input, stream, loader)) return *failed;
  oxan::CImage32 square;
  StoredSize stored;
  if (!ComposeThumbnail(loader, stream.Get(), static_cast<std::uint32_t>(side), square, &stored))
    return NoThumbnail(input);
  if (square.Width() != side) return {Outcome::kError, DisplayName(input) + ": out of memory"};
  return Write(output, format, square, stored);
}

JobResult RunPreview(const std::filesystem::path& input, const std::filesystem::path& output,
                     const PreviewBox& box) {
  ComRef<IStream> stream;
  Loader loader = nullptr;
  if (auto failed = OpenDocument(input, stream, loader)) return *failed;
  oxan::CImage32 kept;
  StoredSize stored;
  if (!KeepPreviewPicture(loader, stream.Get(), kept, &stored)) return NoThumbnail(input);
  stream.Reset();
  oxan::CImage32 picture;
  if (!RenderPreviewBox(kept, box.width, box.height, box.background, picture))
    return {Outcome::kError, DisplayName(input) + ": out of memory"};
  return Write(output, PictureFormat::kPng, picture, stored);
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

JobResult PreviewFile(const std::filesystem::path& input, const std::filesystem::path& output,
                      const PreviewBox& box) {
  return GuardedJob(input, [&] { return RunPreview(input, output, box); });
}

}  // namespace vfkthumb
