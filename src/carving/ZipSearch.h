#pragma once
// ZIP record parsing and the member-name rules that tell the formats built
// on ZIP apart.

#include <cstdint>
#include <string>

#include "core/util/ByteView.h"

struct tagZipLocalFileHeader {
  unsigned char bytes[30] = {};
};

struct ZipRecord {
  std::uint32_t signature = 0;
  std::uint64_t size = 0;  // the whole record, data included
  std::uint16_t flag = 0;
  std::uint16_t method = 0;
  std::uint64_t compressed = 0;
  std::uint64_t uncompressed = 0;
  std::uint64_t dataOffset = 0;  // from the record's start (local headers)
  std::string name;
  tagZipLocalFileHeader header;
};

class classZipSearch {
 public:
  static constexpr std::uint32_t kLocal = 0x04034B50;
  static constexpr std::uint32_t kCentral = 0x02014B50;
  static constexpr std::uint32_t kEnd = 0x06054B50;
  static constexpr std::uint32_t kZip64End = 0x06064B50;
  static constexpr std::uint32_t kZip64Locator = 0x07064B50;

  enum Parse { kInvalid, kNeedMore, kOk };

  static bool IsValidHeader(const ByteView& v, std::size_t at);
  // Parses the record at `at`; kNeedMore when its fixed part or name lies
  // beyond the view.
  static Parse GetBlockSize(const ByteView& v, std::size_t at, ZipRecord& record);
  // The sub-type after a local member; `data` holds (some of) its stored bytes.
  static int LocalNameType(const std::string& name, const ByteView& data, bool maybeOffice, int subType);
  static int CentralNameType(const std::string& name, bool maybeOffice, int subType);
  // The Office test of the first member.
  static bool JudgeMaybeOfficeType(const std::string& firstName);
  static bool IsCorelDraw(const std::string& firstName) { return firstName == "content/riffData.cdr"; }
  // The first member name names an iOS application archive.
  static bool ZipIpaFileType(const unsigned char* data, std::size_t length);
};
