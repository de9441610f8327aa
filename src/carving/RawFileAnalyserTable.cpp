// The registration table of the carving analysers: every analyser is listed
// here once per key, in the order the registry tries them. Analysers of
// further formats are added to these tables.
#include <iterator>

#include "carving/FileUnicodeHTMAnalyser.h"
#include "carving/GzAnalyzer.h"
#include "carving/HtmlAnalyser.h"
#include "carving/JpegAnalyzer.h"
#include "carving/PngAnalyser.h"
#include "carving/RarAnalyser.h"
#include "carving/RawFileAnalyserList.h"
#include "carving/TarAnalyser.h"

namespace {

using Factory = IRawFileAnalyser* (*)();

template <class T>
IRawFileAnalyser* Make() {
  return new T();
}

constexpr unsigned Key4(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
  return a | (b << 8) | (c << 16) | (static_cast<unsigned>(d) << 24);
}
constexpr unsigned short Key2(unsigned char a, unsigned char b) { return static_cast<unsigned short>(a | (b << 8)); }

struct MapEntry {
  unsigned key;
  Factory make;
};
struct MultimapEntry {
  unsigned short key;
  Factory make;
};

// Key: the first four bytes of a sector.
constexpr MapEntry kMap[] = {
    {Key4(0xFF, 0xD8, 0xFF, 0xE0), Make<BruteForce::JpegAnalyzer>},
    {Key4(0xFF, 0xD8, 0xFF, 0xE1), Make<BruteForce::JpegAnalyzer>},
    {Key4(0xFF, 0xD8, 0xFF, 0xDB), Make<BruteForce::JpegAnalyzer>},
    {Key4(0xFF, 0xD8, 0xFF, 0xEE), Make<BruteForce::JpegAnalyzer>},
    {Key4(0x89, 'P', 'N', 'G'), Make<RawSpeed::PNGAnalyser>},
    {Key4('R', 'a', 'r', '!'), Make<RawSpeed::RARAnalyser>},
};

// Key: the first two bytes; tried in this order within one key.
constexpr MultimapEntry kMultimap[] = {
    {Key2(0x1F, 0x8B), Make<RawSpeed::GZAnalyzer>},
    {Key2('<', 'h'), Make<RawSpeed::HTMLAnalyser>},
    {Key2('<', 'H'), Make<RawSpeed::HTMLAnalyser>},
    {Key2('<', '!'), Make<RawSpeed::HTMLAnalyser>},
    {Key2(0xFF, 0xFE), Make<RawSpeed::HTMLAnalyser>},
    {Key2(0xFF, 0xFE), Make<FileUnicodeHTMAnalyser>},
    {Key2('u', 's'), Make<RawSpeed::TARAnalyser>},
};

// Tried on every sector that the map and the multimap did not claim.
constexpr Factory kList[] = {
    Make<RawSpeed::TARAnalyser>,
};

}  // namespace

void CRawFileAnalyserListSingle::BuildRawFileAnalyserMap(AnalyserMap& map) {
  for (const MapEntry& e : kMap) {
    IRawFileAnalyser* a = e.make();
    if (!map.emplace(e.key, a).second) delete a;
  }
}

void CRawFileAnalyserListSingle::BuildRawFileListMultimap(AnalyserMultimap& multimap) {
  for (const MultimapEntry& e : kMultimap) multimap.emplace(e.key, e.make());
}

void CRawFileAnalyserListSingle::BuildRawFileAnalyserList(AnalyserList& list) {
  for (Factory make : kList) list.push_back(make());
}

void CRawFileAnalyserListSingle::CraetePartRawFileAnalyser(RAW_FILE_TYPE, AnalyserList&) {
  // EMF (26), LZH (36) and EMLX (116) analysers belong here once they exist.
}
