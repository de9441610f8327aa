#include "core/recovery/SmallJpeg.h"

#include "core/util/ByteView.h"

EmbeddedJpeg FindEmbeddedJpeg(std::span<const std::uint8_t> head) {
  constexpr std::size_t kFirst = 4;
  constexpr std::size_t kLast = 65531;
  constexpr std::size_t kSkip = 2001;
  constexpr std::size_t kMaxLength = 65535;
  const ByteView view(head);
  const std::uint8_t soi[3] = {0xFF, 0xD8, 0xFF};
  const std::uint8_t eoi[2] = {0xFF, 0xD9};

  std::size_t start = kFirst;
  for (; start <= kLast; ++start) {
    if (view.Equals(start, soi, sizeof soi)) break;
  }
  if (start > kLast) return {};
  for (std::size_t end = start + kSkip; end <= kLast; ++end) {
    if (!view.Equals(end, eoi, sizeof eoi)) continue;
    const std::size_t length = end + 4 - start;
    if (length == 0 || length > kMaxLength || !view.Has(start, length)) return {};
    return {start, length};
  }
  return {};
}
