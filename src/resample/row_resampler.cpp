#include "resample/row_resampler.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>

#include "resample/span.h"
#include "resample/step.h"

namespace oxan {
namespace {

// The most source rows one destination row reads.
std::int64_t MostRowsPerRow(const ResamplePlan& plan, std::int32_t destinationHeight) {
  std::int64_t most = 0;
  for (std::int32_t j = 0; j < destinationHeight; ++j) {
    const SourceRowSpan rows = plan.RowsOf(j);
    most = std::max(most, rows.last - rows.first + 1);
  }
  return most;
}

}  // namespace

// The plain area average's sums for every pixel of the destination rows
// that read the arriving row, and the piece of that row at hand.
struct RowResampler::Sums {
  std::int64_t stepY;
  std::vector<Span> columns;  // of each destination column
  std::vector<std::uint32_t> piece;
  std::size_t pieceBytes = 0;
  std::int64_t pieceColumn = 0;            // the picture column of the piece's first pixel
  std::int64_t row = 0;                    // the picture row arriving
  std::deque<std::vector<SpanSums>> open;  // destination rows nextRow_, nextRow_ + 1, …
};

RowResampler::RowResampler(CImage32& destination, std::int32_t sourceWidth,
                           std::int32_t sourceHeight, ResamplePath path, RowMemory memory)
    : destination_(destination),
      sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      rowBytes_(static_cast<std::size_t>(sourceWidth) * 4),
      memory_(memory),
      plan_(destination.Width(), destination.Height(), sourceWidth, sourceHeight, path) {
  const auto pictureBytes = static_cast<std::uint64_t>(rowBytes_) * std::uint64_t(sourceHeight);
  const std::int64_t mostRows = MostRowsPerRow(plan_, destination.Height());
  accumulating_ = pictureBytes > memory.wholeBytes && plan_.Averages() &&
                  std::uint64_t(mostRows) * rowBytes_ > memory.mostBandBytes;
  try {
    if (accumulating_) {
      sums_ = std::make_unique<Sums>();
      const std::int64_t stepX = ResampleStep(sourceWidth, destination.Width());
      sums_->stepY = ResampleStep(sourceHeight, destination.Height());
      sums_->columns.resize(static_cast<std::size_t>(destination.Width()));
      for (std::int32_t i = 0; i < destination.Width(); ++i)
        sums_->columns[static_cast<std::size_t>(i)] = SpanOf(i, stepX, sourceWidth);
      sums_->piece.resize(memory_.pieceBytes / 4);
      ready_ = true;
    } else {
      const auto fitting = static_cast<std::int64_t>(memory_.bandBytes / rowBytes_);
      bandRows_ = pictureBytes <= memory.wholeBytes
                      ? sourceHeight
                      : static_cast<std::int32_t>(
                            std::min<std::int64_t>(sourceHeight, std::max(fitting, mostRows)));
      ready_ = band_.Resize(sourceWidth, bandRows_) && band_.Height() == bandRows_ &&
               band_.Width() == sourceWidth;
    }
  } catch (const std::bad_alloc&) {
    ready_ = false;
  }
}

RowResampler::~RowResampler() = default;

bool RowResampler::Complete() const noexcept {
  if (accumulating_) return sums_->row == sourceHeight_;
  return bandFirst_ + static_cast<std::int64_t>(bandBytes_ / rowBytes_) == sourceHeight_;
}

std::span<std::uint8_t> RowResampler::Room() {
  if (!ready_ || Complete()) return {};
  if (accumulating_) {
    Sums& sums = *sums_;
    const std::size_t rowLeft =
        rowBytes_ - static_cast<std::size_t>(sums.pieceColumn) * 4 - sums.pieceBytes;
    auto* bytes = reinterpret_cast<std::uint8_t*>(sums.piece.data());
    return {bytes + sums.pieceBytes, std::min(memory_.pieceBytes - sums.pieceBytes, rowLeft)};
  }
  const auto rowsLeft =
      static_cast<std::size_t>(std::min<std::int64_t>(bandRows_, sourceHeight_ - bandFirst_));
  auto* bytes = reinterpret_cast<std::uint8_t*>(band_.Pixels());
  return {bytes + bandBytes_, rowsLeft * rowBytes_ - bandBytes_};
}

void RowResampler::Filled(std::size_t bytes) {
  if (accumulating_) {
    Sums& sums = *sums_;
    sums.pieceBytes += bytes;
    const bool rowEnds =
        static_cast<std::size_t>(sums.pieceColumn) * 4 + sums.pieceBytes == rowBytes_;
    if (rowEnds || sums.pieceBytes == memory_.pieceBytes) AddPiece();
    if (rowEnds) EndRow();
    return;
  }
  bandBytes_ += bytes;
  if (bandBytes_ == static_cast<std::size_t>(bandRows_) * rowBytes_ || Complete()) ResampleBand();
}

// Writes every destination row whose rows the band holds (all that are left
// once the picture is complete), then drops the rows before the next
// destination row's first.
void RowResampler::ResampleBand() {
  const std::int64_t received = bandFirst_ + static_cast<std::int64_t>(bandBytes_ / rowBytes_);
  const bool all = received == sourceHeight_;
  std::int32_t end = nextRow_;
  while (end < destination_.Height() && (all || plan_.RowsOf(end).last < received)) ++end;
  if (end > nextRow_) {
    const SourceRows rows{band_.Pixels(), sourceWidth_, sourceHeight_,
                          static_cast<std::int32_t>(bandFirst_),
                          static_cast<std::int32_t>(received - bandFirst_)};
    plan_.Run(destination_, rows, {nextRow_, end});
    nextRow_ = end;
  }
  const std::int64_t keep = nextRow_ < destination_.Height()
                                ? std::min(plan_.RowsOf(nextRow_).first, received)
                                : received;
  const auto dropped = static_cast<std::size_t>(keep - bandFirst_) * rowBytes_;
  if (dropped == 0) return;
  auto* bytes = reinterpret_cast<std::uint8_t*>(band_.Pixels());
  std::memmove(bytes, bytes + dropped, bandBytes_ - dropped);
  bandBytes_ -= dropped;
  bandFirst_ = keep;
}

// Adds the piece's whole pixels to every open destination row that reads
// the arriving row, opening those that start at it.
void RowResampler::AddPiece() {
  Sums& sums = *sums_;
  const auto pixels = static_cast<std::int64_t>(sums.pieceBytes / 4);
  const std::int32_t height = destination_.Height();
  const auto width = static_cast<std::size_t>(destination_.Width());
  while (nextRow_ + static_cast<std::int32_t>(sums.open.size()) < height &&
         SpanOf(nextRow_ + static_cast<std::int32_t>(sums.open.size()), sums.stepY, sourceHeight_)
                 .first <= sums.row) {
    sums.open.emplace_back(width);
  }
  const std::int64_t first = sums.pieceColumn;
  const std::int64_t last = first + pixels - 1;
  // Columns' spans only move right: the first that reaches the piece.
  const auto from =
      std::lower_bound(sums.columns.begin(), sums.columns.end(), first,
                       [](const Span& span, std::int64_t column) { return span.last < column; });
  for (std::size_t k = 0; k < sums.open.size(); ++k) {
    const Span rows = SpanOf(nextRow_ + static_cast<std::int32_t>(k), sums.stepY, sourceHeight_);
    if (sums.row < rows.first || sums.row > rows.last) continue;
    const bool rowAtEnd = sums.row == rows.first || sums.row == rows.last;
    const std::int32_t coverage = RowCoverage(rows, sums.row);
    for (auto column = from; column != sums.columns.end() && column->first <= last; ++column) {
      sums.open[k][static_cast<std::size_t>(column - sums.columns.begin())].AddRowPiece(
          sums.piece.data(), first, *column, std::max(column->first, first),
          std::min(column->last, last), rowAtEnd, coverage);
    }
  }
  const std::size_t rest = sums.pieceBytes % 4;
  auto* bytes = reinterpret_cast<std::uint8_t*>(sums.piece.data());
  std::memmove(bytes, bytes + sums.pieceBytes - rest, rest);
  sums.pieceBytes = rest;
  sums.pieceColumn += pixels;
}

// Writes the destination rows whose last row has arrived.
void RowResampler::EndRow() {
  Sums& sums = *sums_;
  while (!sums.open.empty() && SpanOf(nextRow_, sums.stepY, sourceHeight_).last == sums.row) {
    std::uint32_t* out = destination_.RowPointer(nextRow_);
    for (SpanSums& pixel : sums.open.front()) *out++ = pixel.Average();
    sums.open.pop_front();
    ++nextRow_;
  }
  ++sums.row;
  sums.pieceColumn = 0;
}

}  // namespace oxan
