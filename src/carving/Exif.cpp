#include "carving/Exif.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/util/ByteView.h"

namespace {

struct ExifState {
  tag_ExifInfo scratch{};
  tag_ExifInfo* record = &scratch;
  bool motorola = false;
  double exifImageWidth = 0;
  const char* error = "";
  std::vector<std::size_t> visiting;
};

thread_local ExifState t_state;

constexpr int kUnitSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

unsigned Get16(const unsigned char* p) { return t_state.motorola ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8); }
unsigned Get32(const unsigned char* p) {
  return t_state.motorola ? (static_cast<unsigned>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
                          : p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned>(p[3]) << 24);
}

void CopyText(char* out, std::size_t bound, const unsigned char* value, std::size_t n) {
  const std::size_t take = std::min(n, bound);
  std::size_t i = 0;
  for (; i < take && value[i] != 0; ++i) out[i] = static_cast<char>(value[i]);
  out[i] = '\0';
}

// Stores the value of a tag the record keeps; other tags are passed over.
void StoreTag(ExifState& st, unsigned tag, unsigned format, const unsigned char* value, std::size_t n) {
  tag_ExifInfo& r = *st.record;
  auto number = [&] { return EXIF_ConvertAnyFormat(value, static_cast<int>(format)); };
  switch (tag) {
    case 0x010F:
      CopyText(r.CameraMake, 31, value, n);
      break;
    case 0x0110:
      CopyText(r.CameraModel, 39, value, n);
      break;
    case 0x9003:
      CopyText(r.DateTime, 19, value, n);
      break;
    case 0x9004:
      CopyText(r.DateTimeDigitized, 19, value, n);
      break;
    case 0x9000:
      CopyText(r.Version, 4, value, n);
      break;
    case 0x0201:
      r.ThumbnailOffset = static_cast<std::uint32_t>(number());
      break;
    case 0x0202:
      r.ThumbnailSize = static_cast<std::uint32_t>(number());
      break;
    case 0x0112:
      r.Orientation = static_cast<int>(number());
      break;
    case 0x829A:
      r.ExposureTime = static_cast<float>(number());
      break;
    case 0x829D:
      r.ApertureFNumber = static_cast<float>(number());
      break;
    case 0x920A:
      r.FocalLength = static_cast<float>(number());
      break;
    case 0x9209:
      r.Flash = static_cast<int>(number());
      break;
    case 0x9207:
      r.MeteringMode = static_cast<int>(number());
      break;
    case 0xA403:
      r.WhiteBalance = static_cast<int>(number());
      break;
    case 0x8827:
      r.ISOequivalent = static_cast<int>(number());
      break;
    case 0x011A:
      r.XResolution = static_cast<float>(number());
      break;
    case 0x011B:
      r.YResolution = static_cast<float>(number());
      break;
    case 0xA002:
      st.exifImageWidth = number();
      r.Width = static_cast<int>(number());
      break;
    case 0xA003:
      r.Height = static_cast<int>(number());
      break;
    case 0xA20E:
      r.FocalplaneXRes = static_cast<float>(number());
      break;
    case 0xA210: {
      static constexpr float kUnits[] = {0, 0, 25.4f, 10.0f, 1.0f, 0.001f};
      const int u = static_cast<int>(number());
      r.FocalplaneUnits = u >= 0 && u <= 5 ? kUnits[u] : 0;
      break;
    }
    default:
      break;
  }
}

// Where an entry's value lies: in the entry itself when it takes 4 bytes or
// fewer, else at its offset from `base`; null when that lies outside the block.
const unsigned char* EntryValue(const ByteView& block, const unsigned char* entry, unsigned long long bytes,
                                std::size_t base) {
  if (bytes <= 4) return entry + 8;
  const unsigned long long at = base + static_cast<unsigned long long>(Get32(entry + 8));
  if (bytes > block.Size() || at > block.Size() - bytes) return nullptr;
  return block.Data() + at;
}

// One directory at `dirStart` (block offset); offsets in entries count from
// `base` (block offset 6).
int ProcessDir(const ByteView& block, std::size_t dirStart, std::size_t base, int depth) {
  ExifState& st = t_state;
  if (depth > kExifMaxDirectories || std::find(st.visiting.begin(), st.visiting.end(), dirStart) != st.visiting.end()) {
    return 0;
  }
  st.visiting.push_back(dirStart);
  if (!block.Has(dirStart, 2)) {
    st.error = "Illegally sized directory";
    return 0;
  }
  const unsigned count = Get16(block.Data() + dirStart);
  if (!block.Has(dirStart, 2 + static_cast<std::size_t>(count) * 12)) {
    st.error = "Illegally sized directory";
    return 0;
  }
  for (unsigned e = 0; e < count; ++e) {
    const unsigned char* entry = block.Data() + dirStart + 2 + 12 * static_cast<std::size_t>(e);
    const unsigned tag = Get16(entry);
    const unsigned format = Get16(entry + 2);
    const unsigned components = Get32(entry + 4);
    if (format < 1 || format > 12) {
      st.error = "Illegal format code in EXIF dir";
      return 0;
    }
    const unsigned long long bytes = static_cast<unsigned long long>(components) * kUnitSize[format];
    const unsigned char* value = EntryValue(block, entry, bytes, base);
    if (value == nullptr) {
      st.error = "Illegal pointer offset value in EXIF.";
      return 0;
    }
    const auto n = static_cast<std::size_t>(bytes);
    if (tag == 0x8769 || tag == 0xA005) {
      // The Exif and interoperability sub-directories.
      const unsigned long long sub = base + static_cast<unsigned long long>(Get32(value));
      if (n >= 4 && sub < block.Size()) ProcessDir(block, static_cast<std::size_t>(sub), base, depth + 1);
      continue;
    }
    StoreTag(st, tag, format, value, n);
  }
  return 1;
}

}  // namespace

void SetExitInfo(tag_ExifInfo* info) { t_state.record = info != nullptr ? info : &t_state.scratch; }

void GetExifInfo(tag_ExifInfo* info) {
  if (info != nullptr && info != t_state.record) std::memcpy(info, t_state.record, sizeof(tag_ExifInfo));
}

const char* EXIF_GetErrorString() { return t_state.error; }

unsigned EXIF_Get32s(const void* value) { return Get32(static_cast<const unsigned char*>(value)); }

double EXIF_ConvertAnyFormat(const void* value, int format) {
  const auto* p = static_cast<const unsigned char*>(value);
  switch (format) {
    case 1:
      return p[0];
    case 3:
      return Get16(p);
    case 4:
      return Get32(p);
    case 5:
    case 10: {
      const unsigned num = Get32(p);
      const unsigned den = Get32(p + 4);
      if (den == 0) return 0;
      return format == 5 ? static_cast<double>(num) / den
                         : static_cast<double>(static_cast<int>(num)) / static_cast<int>(den);
    }
    case 6:
      return static_cast<signed char>(p[0]);
    case 8:
      return static_cast<short>(Get16(p));
    case 9:
      return static_cast<int>(Get32(p));
    case 11: {
      float f;
      const unsigned v = Get32(p);
      std::memcpy(&f, &v, 4);
      return f;
    }
    case 12: {
      unsigned long long v = 0;
      for (int i = 0; i < 8; ++i) {
        v |= static_cast<unsigned long long>(p[t_state.motorola ? 7 - i : i]) << (8 * i);
      }
      double d;
      std::memcpy(&d, &v, 8);
      return d;
    }
    default:
      return 0;
  }
}

int EXIF_process_EXIF(const unsigned char*, unsigned int, const unsigned char* exifBlock, unsigned int length) {
  ExifState& st = t_state;
  tag_ExifInfo& r = *st.record;
  std::memset(r.Comments, 0, sizeof(r.Comments));
  r.ThumbnailOffset = 0;
  r.ThumbnailSize = 0;
  st.exifImageWidth = 0;
  st.visiting.clear();
  if (exifBlock == nullptr) {
    st.error = "Incorrect Exif header";
    return 0;
  }
  const ByteView block(exifBlock, length);
  static constexpr unsigned char kHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (!block.Equals(0, kHeader, 6)) {
    st.error = "Incorrect Exif header";
    return 0;
  }
  if (block.Equals(6, "II", 2)) {
    st.motorola = false;
  } else if (block.Equals(6, "MM", 2)) {
    st.motorola = true;
  } else {
    st.error = "Invalid Exif alignment marker.";
    return 0;
  }
  if (!block.Has(8, 6) || Get16(exifBlock + 8) != 42) {
    st.error = "Invalid Exif start (1)";
    return 0;
  }
  const unsigned first = Get32(exifBlock + 10);
  if (first < 8 || first > 16) {
    st.error = "Suspicious offset of first IFD value";
    return 0;
  }
  if (ProcessDir(block, 6 + first, 6, 0) == 0) return 0;
  if (r.FocalplaneXRes != 0) {
    r.CCDWidth = static_cast<float>(st.exifImageWidth * r.FocalplaneUnits / r.FocalplaneXRes);
  }
  return 1;
}
