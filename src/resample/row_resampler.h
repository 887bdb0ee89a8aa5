// Resampling a picture that arrives row by row, top first, as a decoder
// gives it, into an already sized destination: the same pixels as Resample
// of the whole picture, with memory bounded by the destination, not by the
// picture.
//
// The picture's bytes (words B, G, R, A, rows without padding) are written
// straight into room the resampler hands out. A picture of at most
// kWholeRoomBytes is held whole, as when it was loaded whole. A larger one
// passes through a band of whole rows, kBandBytes (small enough for the
// rows a decoder writes to be read again from the cache) or the rows one
// destination row reads if more: when the band is full, every destination
// row whose rows it holds is resampled from it with the usual kernels, and
// the rows no later destination row reads are dropped. Where a single
// destination row reads more than kMostBandBytes of rows (very wide
// pictures shrunk a lot), each destination pixel keeps the sums of the
// plain area average instead, and rows arrive in pieces of kPieceBytes that
// are added to them and dropped. Tests choose smaller sizes to put the
// band's and the pieces' ends everywhere.
//
// One thread uses a resampler at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "image/image32.h"
#include "image/picture_sink.h"
#include "resample/plain_average.h"
#include "resample/resample.h"

namespace oxan {

inline constexpr std::size_t kBandBytes = std::size_t{2} << 20;
inline constexpr std::size_t kMostBandBytes = std::size_t{24} << 20;
inline constexpr std::size_t kPieceBytes = std::size_t{256} << 10;

struct RowMemory {
  std::size_t wholeBytes = kWholeRoomBytes;
  std::size_t bandBytes = kBandBytes;
  std::size_t mostBandBytes = kMostBandBytes;
  std::size_t pieceBytes = kPieceBytes;  // a multiple of 4
};

class RowResampler {
 public:
  // `destination` keeps its size and must outlive the resampler. The
  // picture's sides are at least 1 and its bytes fewer than 2^31.
  RowResampler(CImage32& destination, std::int32_t sourceWidth, std::int32_t sourceHeight,
               ResamplePath path = ResamplePath::kAuto, RowMemory memory = {});
  ~RowResampler();
  RowResampler(const RowResampler&) = delete;
  RowResampler& operator=(const RowResampler&) = delete;

  // False when the memory for the rows could not be had.
  bool Ready() const noexcept { return ready_; }

  // Where the picture's next bytes go; empty once all of it has arrived
  // (every destination pixel is then written).
  std::span<std::uint8_t> Room();

  // The first `bytes` of the latest room now hold the picture's next bytes.
  void Filled(std::size_t bytes);

  bool Complete() const noexcept;

 private:
  struct Sums;

  void ResampleBand();
  void AddPiece();
  void EndRow();

  CImage32& destination_;
  const std::int32_t sourceWidth_;
  const std::int32_t sourceHeight_;
  const std::size_t rowBytes_;
  const RowMemory memory_;
  const ResamplePlan plan_;
  bool accumulating_ = false;
  bool ready_ = false;
  std::int32_t nextRow_ = 0;  // the first destination row not yet written

  // Band: picture rows from bandFirst_, bandBytes_ bytes of them at hand.
  CImage32 band_;
  std::int32_t bandRows_ = 0;  // capacity
  std::int64_t bandFirst_ = 0;
  std::size_t bandBytes_ = 0;

  // Sums: the picture row arriving, the part of it in the piece.
  std::unique_ptr<Sums> sums_;
};

}  // namespace oxan
