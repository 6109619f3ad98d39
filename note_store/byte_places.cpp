#include "note_store/byte_places.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace hiduke {

namespace {

// The bytes a place is first compared by: the first and the last two,
// which few places besides the wanted ones have all three (years of other
// centuries end alike, and begin alike, but rarely both).
struct Probe {
  explicit Probe(std::string_view bytes)
      : first(bytes.front()),
        middle(bytes[bytes.size() >= 3 ? bytes.size() - 2 : 0]),
        last(bytes.back()),
        middleAt(bytes.size() >= 3 ? bytes.size() - 2 : 0),
        lastAt(bytes.size() - 1) {}
  char first, middle, last;
  size_t middleAt, lastAt;
};

// The places in [p, end) whose bytes match the probe, one byte at a time.
const char* findPlacesOneByOne(const char* p, const char* end, const Probe& probe, const PlaceFound& found) {
  while (end - p > static_cast<std::ptrdiff_t>(probe.lastAt)) {
    if (p[0] == probe.first && p[probe.middleAt] == probe.middle && p[probe.lastAt] == probe.last) {
      p = found(p);
    } else {
      ++p;
    }
  }
  return p;
}

#if defined(__x86_64__)
// Goes through the places a block of `width` bytes at `p` holds (a bit
// each); returns where the next block starts.
inline const char* throughPlaces(unsigned places, const char* p, int width, const PlaceFound& found) {
  const char* next = p + width;
  while (places != 0) {
    const char* resume = found(p + __builtin_ctz(places));
    if (resume >= next) return resume;
    places &= ~0u << static_cast<unsigned>(resume - p);
  }
  return next;
}

// Sixteen places at a time.
const char* findPlacesSse2(const char* p, const char* end, const Probe& probe, const PlaceFound& found) {
  const __m128i first = _mm_set1_epi8(probe.first);
  const __m128i middle = _mm_set1_epi8(probe.middle);
  const __m128i last = _mm_set1_epi8(probe.last);
  while (end - p >= static_cast<std::ptrdiff_t>(16 + probe.lastAt)) {
    const __m128i atFirst = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), first);
    const __m128i atMiddle =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + probe.middleAt)), middle);
    const __m128i atLast = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + probe.lastAt)), last);
    const auto places = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_and_si128(atFirst, atMiddle), atLast)));
    p = places == 0 ? p + 16 : throughPlaces(places, p, 16, found);
  }
  return p;
}

// Sixty-four places at a time, in two halves, where the processor has AVX2.
__attribute__((target("avx2"))) const char* findPlacesAvx2(const char* p, const char* end, const Probe& probe,
                                                           const PlaceFound& found) {
  const __m256i first = _mm256_set1_epi8(probe.first);
  const __m256i middle = _mm256_set1_epi8(probe.middle);
  const __m256i last = _mm256_set1_epi8(probe.last);
  const auto placesAt = [&](const char* at) __attribute__((target("avx2"), always_inline)) {
    const __m256i atFirst = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), first);
    const __m256i atMiddle =
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + probe.middleAt)), middle);
    const __m256i atLast =
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + probe.lastAt)), last);
    return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(_mm256_and_si256(atFirst, atMiddle), atLast)));
  };
  while (end - p >= static_cast<std::ptrdiff_t>(64 + probe.lastAt)) {
    const unsigned low = placesAt(p);
    const unsigned high = placesAt(p + 32);
    if ((low | high) == 0) {
      p += 64;
      continue;
    }
    // A place among them: the first half is gone through, and the next
    // step looks again from where that ended.
    p = low == 0 ? p + 32 : throughPlaces(low, p, 32, found);
  }
  while (end - p >= static_cast<std::ptrdiff_t>(32 + probe.lastAt)) {
    const unsigned places = placesAt(p);
    p = places == 0 ? p + 32 : throughPlaces(places, p, 32, found);
  }
  return p;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

void findPlaces(const char* p, const char* end, std::string_view bytes, const PlaceFound& found) {
  const Probe probe(bytes);
#if defined(__x86_64__)
  p = kHasAvx2 ? findPlacesAvx2(p, end, probe, found) : findPlacesSse2(p, end, probe, found);
#endif
  findPlacesOneByOne(p, end, probe, found);
}

}  // namespace hiduke
