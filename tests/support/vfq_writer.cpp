#include "vfq_writer.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "formats/tnw/document_generated.h"

namespace vfqtest {
namespace {

constexpr std::size_t kHeaderEntriesAt = 28;
constexpr std::int64_t kHeaderEntries = 4094;
constexpr std::size_t kFirstTablePageAt = 20;
constexpr std::size_t kNextTablePageAt = 8;
constexpr std::size_t kTableEntriesAt = 16;
constexpr std::int64_t kTableEntries = 4095;
constexpr std::size_t kInlineAt = 9;
constexpr std::size_t kHeadListAt = 17;
constexpr std::size_t kHeadListEntries = 8189;
constexpr std::size_t kIndexListEntries = 8191;

void PutLe64(std::uint8_t* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendLe64(Bytes& out, std::uint64_t value) {
  out.resize(out.size() + 8);
  PutLe64(out.data() + out.size() - 8, value);
}

}  // namespace

VfqWriter::VfqWriter() : pages_(2, Bytes(kPageSize, 0)) {
  for (Bytes& header : pages_) std::copy_n("tnw", 4, header.begin());
  SetGenerations(1, 2);
}

std::uint64_t VfqWriter::AddPage(const Bytes& content) {
  if (content.size() > kPageSize) throw std::invalid_argument("page content beyond 64 KiB");
  pages_.emplace_back(kPageSize, 0);
  std::copy(content.begin(), content.end(), pages_.back().begin());
  return pages_.size() - 1;
}

void VfqWriter::WriteEntry(std::uint8_t* page, std::size_t at, std::uint64_t fidx) {
  PutLe64(page + at + 8, fidx);
}

void VfqWriter::SetEntry(std::int64_t vidx, std::uint64_t fidx) {
  if (vidx < kHeaderEntries) {
    for (int header = 0; header < 2; ++header)
      WriteEntry(Page(static_cast<std::uint64_t>(header)),
                 kHeaderEntriesAt + static_cast<std::size_t>(vidx) * 16, fidx);
    return;
  }
  const auto table = static_cast<std::size_t>((vidx - kHeaderEntries) / kTableEntries);
  while (tablePages_.size() <= table) {
    const std::uint64_t page = AddPage();
    if (tablePages_.empty()) {
      PutLe64(Page(0) + kFirstTablePageAt, page);
      PutLe64(Page(1) + kFirstTablePageAt, page);
    } else {
      PutLe64(Page(tablePages_.back()) + kNextTablePageAt, page);
    }
    tablePages_.push_back(page);
  }
  WriteEntry(
      Page(tablePages_[table]),
      kTableEntriesAt + static_cast<std::size_t>((vidx - kHeaderEntries) % kTableEntries) * 16,
      fidx);
}

void VfqWriter::SetGenerations(std::int64_t page0, std::int64_t page1) {
  PutLe64(Page(0) + 4, static_cast<std::uint64_t>(page0));
  PutLe64(Page(1) + 4, static_cast<std::uint64_t>(page1));
}

std::int64_t VfqWriter::AddInlineStream(const Bytes& content, std::int64_t vidx) {
  if (content.size() > kPageSize - kInlineAt) throw std::invalid_argument("too long for inline");
  Bytes head(kInlineAt, 0);
  head[0] = 1;
  PutLe64(head.data() + 1, content.size());
  head.insert(head.end(), content.begin(), content.end());
  SetEntry(vidx, AddPage(head));
  return vidx;
}

std::int64_t VfqWriter::AddPagedStream(const std::vector<std::int64_t>& dataVidxs,
                                       std::uint64_t length, std::int64_t vidx) {
  Bytes head(kHeadListAt, 0);
  PutLe64(head.data() + 1, length);
  const std::size_t inHead = std::min(dataVidxs.size(), kHeadListEntries);
  for (std::size_t i = 0; i < inHead; ++i)
    AppendLe64(head, static_cast<std::uint64_t>(dataVidxs[i]));
  // Index pages, written back to front so each knows its successor.
  std::int64_t next = -1;
  const std::size_t rest = dataVidxs.size() - inHead;
  const std::size_t indexPages = (rest + kIndexListEntries - 1) / kIndexListEntries;
  for (std::size_t n = indexPages; n-- > 0;) {
    Bytes index;
    AppendLe64(index, static_cast<std::uint64_t>(next));
    const std::size_t first = inHead + n * kIndexListEntries;
    const std::size_t end = std::min(dataVidxs.size(), first + kIndexListEntries);
    for (std::size_t i = first; i < end; ++i)
      AppendLe64(index, static_cast<std::uint64_t>(dataVidxs[i]));
    next = NewVidx();
    SetEntry(next, AddPage(index));
  }
  PutLe64(head.data() + 9, static_cast<std::uint64_t>(next));
  SetEntry(vidx, AddPage(head));
  return vidx;
}

std::int64_t VfqWriter::AddPagedStream(const Bytes& content, std::int64_t vidx) {
  std::vector<std::int64_t> dataVidxs;
  for (std::size_t at = 0; at < content.size(); at += kPageSize) {
    const std::int64_t data = NewVidx();
    const auto end =
        content.begin() + static_cast<std::ptrdiff_t>(std::min(content.size(), at + kPageSize));
    SetEntry(data, AddPage(Bytes(content.begin() + static_cast<std::ptrdiff_t>(at), end)));
    dataVidxs.push_back(data);
  }
  return AddPagedStream(dataVidxs, content.size(), vidx);
}

std::int64_t VfqWriter::AddStream(const Bytes& content, std::int64_t vidx) {
  return content.size() <= kPageSize - kInlineAt ? AddInlineStream(content, vidx)
                                                 : AddPagedStream(content, vidx);
}

Bytes VfqWriter::Build() const {
  Bytes file;
  file.reserve(pages_.size() * kPageSize);
  for (const Bytes& page : pages_) file.insert(file.end(), page.begin(), page.end());
  return file;
}

Bytes RawBlob(const Bytes& content) {
  Bytes blob = {kRawBlob};
  blob.insert(blob.end(), content.begin(), content.end());
  return blob;
}

Bytes ZstdBlob(const Bytes& content, std::optional<std::uint64_t> declared) {
  Bytes blob = {kZstdBlob};
  AppendLe64(blob, declared.value_or(content.size()));
  const std::size_t bound = ZSTD_compressBound(content.size());
  const std::size_t at = blob.size();
  blob.resize(at + bound);
  const std::size_t size =
      ZSTD_compress(blob.data() + at, bound, content.data(), content.size(), 3);
  if (ZSTD_isError(size)) throw std::runtime_error("ZSTD_compress failed");
  blob.resize(at + size);
  return blob;
}

std::uint32_t PatternPixel(std::int64_t x, std::int64_t y) {
  const auto block = static_cast<std::uint32_t>((x >> 6) * 7919 + (y >> 6) * 104729);
  const std::uint32_t alpha = (block % 5 == 0) ? 0 : (block % 5 == 1) ? 0x80 : 0xFF;
  return alpha << 24 | (block * 2654435761u) >> 8;
}

Bytes PatternBlob(std::int32_t width, std::int32_t height, int windowLog) {
  const std::uint64_t contentSize = std::uint64_t(width) * std::uint64_t(height) * 4;
  Bytes blob = {kZstdBlob};
  AppendLe64(blob, contentSize);
  std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
  ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, 1);
  if (windowLog != 0) ZSTD_CCtx_setParameter(context.get(), ZSTD_c_windowLog, windowLog);
  ZSTD_CCtx_setPledgedSrcSize(context.get(), contentSize);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
  Bytes out(ZSTD_CStreamOutSize());
  for (std::int32_t y = 0; y <= height; ++y) {
    const bool last = y == height;
    if (!last)
      for (std::int32_t x = 0; x < width; ++x)
        row[static_cast<std::size_t>(x)] = PatternPixel(x, y);
    ZSTD_inBuffer in{row.data(), last ? 0 : row.size() * 4, 0};
    for (;;) {
      ZSTD_outBuffer output{out.data(), out.size(), 0};
      const std::size_t left =
          ZSTD_compressStream2(context.get(), &output, &in, last ? ZSTD_e_end : ZSTD_e_continue);
      if (ZSTD_isError(left)) throw std::runtime_error("ZSTD_compressStream2 failed");
      blob.insert(blob.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(output.pos));
      if (last ? left == 0 : in.pos == in.size) break;
    }
  }
  return blob;
}

VfqWriter PatternDocument(std::int32_t width, std::int32_t height, int windowLog) {
  VfqWriter writer;
  const std::int64_t vidx = writer.NewVidx();
  writer.AddStream(PatternBlob(width, height, windowLog), vidx);
  writer.AddStream(DocumentRoot(Thumbnail{width, height, vidx}), kRootVidx);
  return writer;
}

Bytes DocumentRoot(std::optional<Thumbnail> thumbnail) {
  flatbuffers::FlatBufferBuilder builder;
  const auto name = builder.CreateString("document");
  tnw::schema::DocumentRootBuilder root(builder);
  root.add_f0(1);
  root.add_f8(name);
  if (thumbnail) {
    const tnw::schema::ThumbnailInfo info(thumbnail->width, thumbnail->height, thumbnail->blobVidx);
    root.add_thumbnail(&info);
  }
  builder.Finish(root.Finish());
  return Bytes(builder.GetBufferPointer(), builder.GetBufferPointer() + builder.GetSize());
}

VfqWriter ThumbnailDocument(std::int32_t width, std::int32_t height,
                            const std::vector<std::uint32_t>& pixels, std::uint8_t blobType) {
  Bytes content;
  content.reserve(pixels.size() * 4);
  for (std::uint32_t pixel : pixels)
    for (int shift = 0; shift < 32; shift += 8)
      content.push_back(static_cast<std::uint8_t>(pixel >> shift));
  VfqWriter writer;
  const std::int64_t blob = writer.NewVidx();
  writer.AddStream(blobType == kZstdBlob ? ZstdBlob(content) : RawBlob(content), blob);
  writer.AddStream(DocumentRoot(Thumbnail{width, height, blob}), kRootVidx);
  return writer;
}

}  // namespace vfqtest
