#pragma once
// The standard test volume: folders, fragmented and compressed files, a
// resource fork with an attribute, a hard link, and files deleted since the
// journal's older leaves were written.

#include <map>
#include <string>

#include "hfsplus/HfsTestSupport.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"

namespace hfstest {

struct SampleVolume {
  SampleVolume(std::uint32_t blockSize, std::uint32_t sectorSize, bool wrapJournal);

  std::string PathOf(std::uint32_t id) const;
  static Bytes Text(std::size_t size, std::uint32_t seed);

  hfsbuilder::HfsPlusImageBuilder builder;
  std::map<std::uint32_t, std::string> folders;
  std::uint32_t docs = 0, deep = 0;
  std::uint32_t plain = 0, big = 0, comp3 = 0, comp3raw = 0, comp4 = 0, comp4raw = 0, comp7 = 0, comp8 = 0,
                comp8raw = 0, forked = 0, linked = 0, link = 0;
  std::uint32_t gone = 0, goneBig = 0, goneComp = 0, goneDeep = 0;
  Bytes image;
};

}  // namespace hfstest
