#include "formats/tnw/tnw_document_reader.h"

#include "errors/errors.h"
#include "formats/tnw/document_generated.h"
#include "formats/tnw/document_root.h"
#include "formats/tnw/thumbnail_blob.h"

namespace tnw {
namespace {

constexpr std::int64_t kMaxPixelBytes = 0x7FFFFFFF;  // width × height × 4 fits 31 bits

}  // namespace

TnwDocumentReader::TnwDocumentReader(std::unique_ptr<pagestore::ReadablePageStore> store)
    : store_(std::move(store)), pool_(std::make_unique<DecompressorPool>()) {}

TnwDocumentReader::~TnwDocumentReader() { pool_.reset(); }

bool TnwDocumentReader::ExtractThumbnail(oxan::PictureSink& sink) {
  std::unique_ptr<std::uint8_t[]> root;
  try {
    root = ReadDocumentRoot(*store_);
  } catch (const oxan::TNWError&) {
    return false;
  }
  const schema::ThumbnailInfo* thumbnail = schema::GetDocumentRoot(root.get())->thumbnail();
  if (!thumbnail) return false;
  const std::int32_t width = thumbnail->width();
  const std::int32_t height = thumbnail->height();
  if (width < 1 || height < 1 || std::int64_t{width} * height > kMaxPixelBytes / 4) return false;

  try {
    return ReadThumbnailBlob(*store_, thumbnail->blob_vidx(), *pool_, width, height, sink);
  } catch (const oxan::TNWError& error) {
    throw oxan::FException(error.what(), kBlobReadFailure);
  }
}

}  // namespace tnw
