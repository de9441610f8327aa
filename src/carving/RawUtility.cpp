#include "carving/RawUtility.h"

#include <map>

namespace BruteForce {

int RawUtility::EXIF_Get16s(const unsigned char* p, bool littleEndian) {
  const unsigned v = littleEndian ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]);
  return static_cast<short>(v);
}

int RawUtility::EXIF_Get32s(const unsigned char* p, bool littleEndian) {
  const unsigned v = littleEndian ? (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned>(p[3]) << 24))
                                  : ((static_cast<unsigned>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
  return static_cast<int>(v);
}

int RawUtility::FindMagicInBuffer(const unsigned char* data, int length, int tail, const unsigned char* magic,
                                  int magicLength) {
  if (data == nullptr || magic == nullptr || magicLength <= 0 || length < tail || tail < 0 || length < magicLength) {
    return 0;
  }
  int pos = length - tail;
  if (pos > length - magicLength) pos = length - magicLength;
  for (; pos >= 0; --pos) {
    if (data[pos] == 0 || data[pos] != magic[0]) continue;
    int k = 1;
    while (k < magicLength && data[pos + k] == magic[k]) ++k;
    if (k == magicLength) return pos + magicLength;
  }
  return 0;
}

int RawUtility::Binary_Compare(const unsigned char* data, int length) {
  if (data == nullptr || length <= 0) return 0;
  auto zeroFrom = [&](int from) {
    for (int i = from; i < length; ++i) {
      if (data[i] != 0) return false;
    }
    return true;
  };
  if (zeroFrom(0)) return 0;
  int lo = 0;
  int hi = length;
  int mid = 0;
  while (lo < hi - 1) {
    mid = (lo + hi) / 2;
    if (zeroFrom(mid)) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return mid + 1;
}

std::string RawUtility::GetFileExtWithType(int type) {
  static const std::map<int, const char*> kExt = {
      {23, "doc"},     {71, "xls"},  {52, "ppt"},    {37, "max"},   {66, "vsd"},  {68, "wpd"},  {61, "shw"},
      {69, "wpg"},     {53, "pub"},  {57, "qpw"},    {47, "mpp"},   {3, "adp"},   {44, "mp4"},  {42, "mov"},
      {2, "3gp"},      {81, "ape"},  {6, "asf"},     {27, "eps"},   {100, "ref"}, {77, "nef"},  {83, "cr2"},
      {85, "arw"},     {87, "rw2"},  {98, "kdc"},    {99, "3fr"},   {101, "mef"}, {104, "pef"}, {106, "srw"},
      {107, "orf"},    {88, "dng"},  {41, "mof"},    {13, "cdr"},   {73, "docx"}, {74, "xlsx"}, {75, "ppt"},
      {112, "number"}, {111, "key"}, {110, "pages"}, {114, "epub"}, {72, "zip"},  {64, "tif"}};
  const auto it = kExt.find(type);
  return it == kExt.end() ? std::string() : std::string(it->second);
}

}  // namespace BruteForce

void SwabLong(unsigned int* value) {
  if (value == nullptr) return;
  const unsigned v = *value;
  *value = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
