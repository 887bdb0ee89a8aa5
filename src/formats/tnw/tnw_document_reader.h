// One TNW document opened for its thumbnail: the page store and a pool of
// decompression contexts, for one extraction on one thread.
#pragma once

#include <memory>

#include "formats/tnw/decompressor_pool.h"
#include "image/picture_sink.h"
#include "pagestore/readable_page_store.h"

namespace tnw {

class TnwDocumentReader {
 public:
  explicit TnwDocumentReader(std::unique_ptr<pagestore::ReadablePageStore> store);
  ~TnwDocumentReader();  // the pool first, then the store

  // True when `sink` took the whole stored thumbnail; false when the root
  // cannot be read or verified (oxan::TNWError), names no thumbnail, has a
  // size outside 1 … 2^31 − 1 bytes (the sink then got nothing), or the
  // blob is unreadable. A broken blob stream throws oxan::FException with
  // code kBlobReadFailure; store, mapper and stream errors pass through.
  bool ExtractThumbnail(oxan::PictureSink& sink);

 private:
  std::unique_ptr<pagestore::ReadablePageStore> store_;
  std::unique_ptr<DecompressorPool> pool_;
};

inline constexpr std::int32_t kBlobReadFailure = 2;

}  // namespace tnw
