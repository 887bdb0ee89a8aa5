#include "resample/column_block_sse2.h"

#include <emmintrin.h>

#include <algorithm>

namespace oxan {
namespace {

// Sums of four columns (or slots) down a span, in the order the products
// come out: rb = [b0, r0, b1, r1] and [b2, r2, b3, r3]; gj = [g0, J0, g1, J1]
// and [g2, J2, g3, J3], J being the alpha weight. any and all are the OR and
// the AND of the pixels, for the equal-alpha rule.
struct Lanes {
  __m128i rbLo = _mm_setzero_si128();
  __m128i rbHi = _mm_setzero_si128();
  __m128i gjLo = _mm_setzero_si128();
  __m128i gjHi = _mm_setzero_si128();
};

struct Pixels4 {
  __m128i rb;     // per pixel the words [b, r]
  __m128i g1;     // per pixel the words [g, 1]
  __m128i alpha;  // per pixel a, in the low word
};

inline Pixels4 Split(__m128i p) {
  const __m128i byteMask = _mm_set1_epi32(0x00FF00FF);
  return {_mm_and_si128(p, byteMask),
          _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 8), _mm_set1_epi32(0xFF)),
                       _mm_set1_epi32(0x10000)),
          _mm_srli_epi32(p, 24)};
}

// Adds words × jj (jj: the same 16-bit factor in both words of a lane) as
// 32-bit products; pixels 0 and 1 go to lo, 2 and 3 to hi.
inline void MultiplyAdd(__m128i words, __m128i jj, __m128i& lo, __m128i& hi) {
  const __m128i low = _mm_mullo_epi16(words, jj);
  const __m128i high = _mm_mulhi_epu16(words, jj);
  lo = _mm_add_epi32(lo, _mm_unpacklo_epi16(low, high));
  hi = _mm_add_epi32(hi, _mm_unpackhi_epi16(low, high));
}

// A pixel at an end of its span: alpha weight J = Div255(a × w), w ≤ 65025.
inline void AddEnd(Lanes& sums, const Pixels4& p, __m128i weight) {
  const __m128i product = _mm_or_si128(_mm_mullo_epi16(p.alpha, weight),
                                       _mm_slli_epi32(_mm_mulhi_epu16(p.alpha, weight), 16));
  const __m128i x1 = _mm_add_epi32(product, _mm_set1_epi32(1));
  const __m128i j = _mm_srli_epi32(_mm_add_epi32(x1, _mm_srli_epi32(x1, 8)), 8);
  const __m128i jj = _mm_or_si128(j, _mm_slli_epi32(j, 16));
  MultiplyAdd(p.rb, jj, sums.rbLo, sums.rbHi);
  MultiplyAdd(p.g1, jj, sums.gjLo, sums.gjHi);
}

// An interior pixel: J = a × 255. Adds c × a (exact in 16 bits); the caller
// multiplies these sums by 255.
inline void AddInterior(Lanes& sums, const Pixels4& p) {
  const __m128i aa = _mm_or_si128(p.alpha, _mm_slli_epi32(p.alpha, 16));
  const __m128i zero = _mm_setzero_si128();
  const __m128i rb = _mm_mullo_epi16(p.rb, aa);
  const __m128i gj = _mm_mullo_epi16(p.g1, aa);
  sums.rbLo = _mm_add_epi32(sums.rbLo, _mm_unpacklo_epi16(rb, zero));
  sums.rbHi = _mm_add_epi32(sums.rbHi, _mm_unpackhi_epi16(rb, zero));
  sums.gjLo = _mm_add_epi32(sums.gjLo, _mm_unpacklo_epi16(gj, zero));
  sums.gjHi = _mm_add_epi32(sums.gjHi, _mm_unpackhi_epi16(gj, zero));
}

constexpr std::int32_t kNoCoverage = -1000;  // below every coverage

inline __m128i Times255(__m128i x) { return _mm_sub_epi32(_mm_slli_epi32(x, 8), x); }

inline __m128i Load(const std::uint32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(std::uint32_t* p, __m128i x) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

inline __m128i Gather(const std::uint32_t* row, const std::int32_t* columns) {
  return _mm_set_epi32(static_cast<int>(row[columns[3]]), static_cast<int>(row[columns[2]]),
                       static_cast<int>(row[columns[1]]), static_cast<int>(row[columns[0]]));
}

// Per-column (or per-slot) results: rb and gj interleaved as in Lanes, the
// OR and the AND of the pixels.
struct Totals {
  std::uint32_t* rb;
  std::uint32_t* gj;
  std::uint32_t* any;
  std::uint32_t* all;

  void Put(std::int64_t at, const Lanes& sums, __m128i anyBits, __m128i allBits) const {
    Store(rb + 2 * at, sums.rbLo);
    Store(rb + 2 * at + 4, sums.rbHi);
    Store(gj + 2 * at, sums.gjLo);
    Store(gj + 2 * at + 4, sums.gjHi);
    Store(any + at, anyBits);
    Store(all + at, allBits);
  }
};

// The rows of a span and the coverage of its end rows.
struct RowPlan {
  std::int64_t first;
  std::int64_t last;
  std::int32_t firstCoverage;
  std::int32_t lastCoverage;
};

}  // namespace

struct AreaColumnBlock::ColumnSums {
  static constexpr std::int64_t kSlack = 3;  // a last group may start up to 3 columns early
  static constexpr std::int64_t kSize = kMaxInteriorColumns + kSlack;
  std::uint32_t rb[2 * kSize + 8];
  std::uint32_t gj[2 * kSize + 8];
  std::uint32_t any[kSize + 4];
  std::uint32_t all[kSize + 4];
};

struct AreaColumnBlock::Slots {
  std::uint32_t rb[4 * kColumns];
  std::uint32_t gj[4 * kColumns];
  std::uint32_t any[2 * kColumns];
  std::uint32_t all[2 * kColumns];
};

AreaColumnBlock::AreaColumnBlock(std::int64_t first, std::int32_t count, std::int64_t stepX,
                                 std::int32_t sourceWidth)
    : count_(count) {
  for (std::int32_t i = 0; i < count; ++i) {
    const Span span = SpanOf(first + i, stepX, sourceWidth);
    columns_[i] = span;
    slotColumn_[2 * i] = static_cast<std::int32_t>(span.first);
    slotCoverage_[2 * i] = span.firstCoverage;
    slotPresent_[2 * i] = true;
    slotColumn_[2 * i + 1] = static_cast<std::int32_t>(span.last);
    slotCoverage_[2 * i + 1] = span.lastCoverage;
    slotPresent_[2 * i + 1] = span.last > span.first;
  }
  for (std::int32_t s = 2 * count; s < 2 * kColumns; ++s) {
    slotColumn_[s] = 0;
    slotCoverage_[s] = 0;
    slotPresent_[s] = false;
  }
  firstRow_.coverage = lastRow_.coverage = kNoCoverage;
  insideRow_.coverage = kNoCoverage;
  WeightsFor(insideRow_, kFullCoverage);
  interiorFirst_ = columns_[0].first + 1;
  interiorLast_ = columns_[count - 1].last - 1;
  supported_ = sourceWidth >= 4 && interiorLast_ - interiorFirst_ + 1 <= kMaxInteriorColumns;
}

const AreaColumnBlock::RowWeights& AreaColumnBlock::WeightsFor(RowWeights& weights,
                                                               std::int32_t coverage) const {
  if (weights.coverage == coverage) return weights;
  weights.coverage = coverage;
  for (std::int32_t s = 0; s < 2 * kColumns; ++s)
    weights.slot[s] = slotPresent_[s] ? EndWeight(slotCoverage_[s], coverage) : 0;
  return weights;
}

bool AreaColumnBlock::Average(const SourceRows& source, const Span& rows, std::uint32_t* out) {
  if (!supported_ || rows.last - rows.first + 1 > kMaxRows) return false;
  const bool oneRow = rows.first == rows.last;
  const auto row = [&](std::int64_t l) { return source.Row(l); };
  const __m128i ones = _mm_set1_epi32(-1);

  // Interior columns: the same weights for every column of a row.
  ColumnSums columnSums;
  const Totals columnTotals{columnSums.rb, columnSums.gj, columnSums.any, columnSums.all};
  if (interiorLast_ >= interiorFirst_) {
    const __m128i firstWeight =
        _mm_set1_epi32(static_cast<int>(EndWeight(kFullCoverage, rows.firstCoverage)));
    const __m128i lastWeight =
        _mm_set1_epi32(static_cast<int>(EndWeight(kFullCoverage, rows.lastCoverage)));
    for (std::int64_t group = interiorFirst_; group <= interiorLast_; group += 4) {
      const std::int64_t start = std::max<std::int64_t>(0, std::min(group, interiorLast_ - 3));
      Lanes ends, inside;
      __m128i anyBits = _mm_setzero_si128(), allBits = ones;
      const auto take = [&](std::int64_t l) {
        const __m128i p = Load(row(l) + start);
        anyBits = _mm_or_si128(anyBits, p);
        allBits = _mm_and_si128(allBits, p);
        return Split(p);
      };
      AddEnd(ends, take(rows.first), firstWeight);
      for (std::int64_t l = rows.first + 1; l < rows.last; ++l) AddInterior(inside, take(l));
      if (!oneRow) AddEnd(ends, take(rows.last), lastWeight);
      Lanes total;
      total.rbLo = _mm_add_epi32(ends.rbLo, Times255(inside.rbLo));
      total.rbHi = _mm_add_epi32(ends.rbHi, Times255(inside.rbHi));
      total.gjLo = _mm_add_epi32(ends.gjLo, Times255(inside.gjLo));
      total.gjHi = _mm_add_epi32(ends.gjHi, Times255(inside.gjHi));
      columnTotals.Put(start - interiorFirst_ + ColumnSums::kSlack, total, anyBits, allBits);
    }
  }

  // End columns, gathered four slots at a time with weights of their own.
  Slots slots;
  const std::int32_t slotCount = 2 * count_;
  const RowWeights& firstRow = WeightsFor(firstRow_, rows.firstCoverage);
  const RowWeights& lastRow = WeightsFor(lastRow_, rows.lastCoverage);
  const Totals slotTotals{slots.rb, slots.gj, slots.any, slots.all};
  for (std::int32_t s = 0; s < slotCount; s += 4) {
    const __m128i firstWeight = Load(firstRow.slot + s);
    const __m128i insideWeight = Load(insideRow_.slot + s);
    const __m128i lastWeight = Load(lastRow.slot + s);
    Lanes sums;
    __m128i anyBits = _mm_setzero_si128(), allBits = ones;
    for (std::int64_t l = rows.first; l <= rows.last; ++l) {
      const __m128i p = Gather(row(l), slotColumn_ + s);
      anyBits = _mm_or_si128(anyBits, p);
      allBits = _mm_and_si128(allBits, p);
      AddEnd(sums, Split(p),
             l == rows.first  ? firstWeight
             : l == rows.last ? lastWeight
                              : insideWeight);
    }
    slotTotals.Put(s, sums, anyBits, allBits);
  }

  // Each destination pixel: its slots and its interior columns.
  const std::uint64_t rowCount = static_cast<std::uint64_t>(rows.last - rows.first + 1);
  const std::uint64_t firstInteriorWeight = EndWeight(kFullCoverage, rows.firstCoverage);
  const std::uint64_t lastInteriorWeight = EndWeight(kFullCoverage, rows.lastCoverage);
  for (std::int32_t i = 0; i < count_; ++i) {
    const Span& span = columns_[i];
    std::uint64_t blue = 0, red = 0, green = 0, alphaWeight = 0;
    std::uint32_t anyBits = 0, allBits = ~0u;
    const auto add = [&](const Totals& totals, std::int64_t at) {
      blue += totals.rb[2 * at];
      red += totals.rb[2 * at + 1];
      green += totals.gj[2 * at];
      alphaWeight += totals.gj[2 * at + 1];
      anyBits |= totals.any[at];
      allBits &= totals.all[at];
    };
    add(slotTotals, 2 * i);
    if (slotPresent_[2 * i + 1]) add(slotTotals, 2 * i + 1);
    for (std::int64_t m = span.first + 1; m < span.last; ++m)
      add(columnTotals, m - interiorFirst_ + ColumnSums::kSlack);

    // The weight sum depends on the coverages only: the slots' weights, and
    // the interior columns' (their row coverage, or the interior weight).
    const std::uint64_t interiorColumns =
        static_cast<std::uint64_t>(std::max<std::int64_t>(span.last - span.first - 1, 0));
    std::uint64_t weight = std::uint64_t{firstRow.slot[2 * i]} + firstRow.slot[2 * i + 1] +
                           interiorColumns * firstInteriorWeight;
    if (!oneRow)
      weight += std::uint64_t{lastRow.slot[2 * i]} + lastRow.slot[2 * i + 1] +
                interiorColumns * lastInteriorWeight +
                (rowCount - 2) * (std::uint64_t{insideRow_.slot[2 * i]} +
                                  insideRow_.slot[2 * i + 1] + interiorColumns * kInteriorWeight);
    out[i] = AverageOf(weight, alphaWeight, red, green, blue, anyBits, allBits);
  }
  return true;
}

}  // namespace oxan
