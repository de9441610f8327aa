// The registration table of the carving analysers: every analyser is listed
// here once per key, in the order the registry tries them. Analysers of
// further formats are added to these tables.
#include <iterator>

#include "carving/FileOLEAnalyser.h"
#include "carving/FilePKGAnalyser.h"
#include "carving/FileUnicodeHTMAnalyser.h"
#include "carving/FileZIPAnalyser.h"
#include "carving/ADTSAnalyser.h"
#include "carving/APEAnalyser.h"
#include "carving/AsfAnalyser.h"
#include "carving/C3GPAnalyser.h"
#include "carving/GzAnalyzer.h"
#include "carving/HtmlAnalyser.h"
#include "carving/JpegAnalyzer.h"
#include "carving/M2TSAnalyser.h"
#include "carving/MP3Analyzer.h"
#include "carving/MovAnalyzer.h"
#include "carving/Mp4Analyzer.h"
#include "carving/PdfAnalyzer.h"
#include "carving/PngAnalyser.h"
#include "carving/RarAnalyser.h"
#include "carving/DxfAnalyser.h"
#include "carving/EpsAnalyser.h"
#include "carving/Fh11Analyser.h"
#include "carving/FlvAnalyser.h"
#include "carving/GifAnalyser.h"
#include "carving/JksAnalyser.h"
#include "carving/MidAnalyser.h"
#include "carving/MpgAnalyser.h"
#include "carving/OggAnalyser.h"
#include "carving/Psafe3Analyser.h"
#include "carving/PsdAnalyser.h"
#include "carving/RtfAnalyser.h"
#include "carving/SibAnalyser.h"
#include "carving/SqliteAnalyser.h"
#include "carving/SvgAnalyser.h"
#include "carving/WpgAnalyser.h"
#include "carving/DmgAnalyser.h"
#include "carving/DwgAnalyser.h"
#include "carving/LzhAnalyser.h"
#include "carving/MdbAnalyser.h"
#include "carving/X3fAnalyser.h"
#include "carving/AepAnalyser.h"
#include "carving/DbxAnalyser.h"
#include "carving/MlvAnalyser.h"
#include "carving/MobiAnalyser.h"
#include "carving/MxfAnalyser.h"
#include "carving/NgrrAnalyser.h"
#include "carving/PspAnalyser.h"
#include "carving/InddAnalyser.h"
#include "carving/OneAnalyser.h"
#include "carving/RmAnalyser.h"
#include "carving/SitAnalyser.h"
#include "carving/CrwAnalyser.h"
#include "carving/New3dsAnalyser.h"
#include "carving/RawFileAnalyserList.h"
#include "carving/TarAnalyser.h"
#include "carving/TiffAnalyzer.h"
#include "carving/CFileAIFAnalyzer.h"
#include "carving/FileAUAnalyser.h"
#include "carving/FileBMPAnalyser.h"
#include "carving/File7zAnalyser.h"
#include "carving/FileCABAnalyser.h"
#include "carving/FileEMFAnalyser.h"
#include "carving/FileICOAnalyser.h"
#include "carving/FileMKVAnalyser.h"
#include "carving/FileRIFFAnalyser.h"
#include "carving/FileSWFAnalyser.h"
#include "carving/FileTTFAnalyser.h"
#include "carving/FileWMFAnalyser.h"
#include "carving/FileXZAnalyser.h"
#include "carving/FileCHMAnalyser.h"
#include "carving/FileCPTAnalyser.h"
#include "carving/FileEMLXAnalyser.h"
#include "carving/FileHLPAnalyser.h"
#include "carving/FileICNSAnalyser.h"
#include "carving/FileITLAnalyser.h"
#include "carving/FileLowDocAnalyser.h"
#include "carving/FileMNYAnalyser.h"
#include "carving/FileMRWAnalyser.h"
#include "carving/FileMboxAnalyser.h"
#include "carving/FilePSTAnalyser.h"
#include "carving/FileWPDAnalyser.h"

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
    {Key4('%', 'P', 'D', 'F'), Make<BruteForce::PdfAnalyzer>},
    {Key4(0x4D, 0x4D, 0x00, 0x2A), Make<BruteForce::TiffAnalyzer>},
    {Key4(0x49, 0x49, 0x2A, 0x00), Make<BruteForce::TiffAnalyzer>},
    {Key4(0x49, 0x49, 0x55, 0x00), Make<BruteForce::TiffAnalyzer>},
    {Key4('I', 'I', 'R', 'O'), Make<BruteForce::TiffAnalyzer>},
    {Key4('I', 'I', 'R', 'S'), Make<BruteForce::TiffAnalyzer>},
    {Key4('F', 'U', 'J', 'I'), Make<BruteForce::TiffAnalyzer>},
    {Key4('M', 'M', 'O', 'R'), Make<BruteForce::TiffAnalyzer>},
    {Key4('I', 'I', 0x1A, 0x00), Make<Kalder::CRWAnalyser>},
    {Key4('M', 'M', 0x1A, 0x00), Make<Kalder::CRWAnalyser>},
    {Key4('B', 'Z', 'h', '1'), Make<Kalder::DMGAnalyser>},
    {Key4('F', 'O', 'V', 'b'), Make<Kalder::X3FAnalyser>},
    {Key4(0x00, 0x00, 0x01, 0xB3), Make<Kalder::MPGAnalyser>},
    {Key4(0x00, 0x00, 0x01, 0xBA), Make<Kalder::MPGAnalyser>},
    {Key4('O', 'g', 'g', 'S'), Make<Kalder::OGGAnalyser>},
    {Key4('.', 'R', 'M', 'F'), Make<Kalder::RM_RMVBAnalyser>},
    {Key4('<', '?', 'x', 'm'), Make<Kalder::SVGAnalyser>},
    {Key4(0xEF, 0xBB, 0xBF, '<'), Make<Kalder::SVGAnalyser>},
    {Key4(0xCD, 0x01, 0x00, 0x00), Make<Kalder::SVGAnalyser>},
    {Key4('<', 's', 'v', 'g'), Make<Kalder::SVGAnalyser>},
    {Key4('B', 'C', 'F', 'Z'), Make<Kalder::SVGAnalyser>},
    {Key4(' ', ' ', '0', '\r'), Make<BruteForce::CDXFAnalyser>},
    {Key4(0x1C, 0x01, 0x00, 0x00), Make<BruteForce::CFH11Analyser>},
    {Key4(0xC5, 0xD0, 0xD3, 0xC6), Make<BruteForce::CEPSAnalyser>},
    {Key4('A', 'C', '1', '0'), Make<BruteForce::CDWGAnalyser>},
    {Key4('G', 'I', 'F', '8'), Make<BruteForce::CGifAnalyser>},
    {Key4('M', 'T', 'h', 'd'), Make<RawSpeed::MIDAnalyser>},
    {Key4(0x89, 'P', 'N', 'G'), Make<RawSpeed::PNGAnalyser>},
    {Key4('8', 'B', 'P', 'S'), Make<RawSpeed::PSDAnalyser>},
    {Key4('{', '\\', 'r', 't'), Make<RawSpeed::RTFAnalyser>},
    {Key4('P', 'a', 'i', 'n'), Make<RawSpeed::PSPAnalyser>},
    {Key4(0x30, 0x26, 0xB2, 0x75), Make<BruteForce::CAsfAnalyser>},
    {Key4('M', 'A', 'C', ' '), Make<BruteForce::CAPEAnalyser>},
    {Key4('R', 'a', 'r', '!'), Make<RawSpeed::RARAnalyser>},
    {Key4(0xE4, 0x52, 0x5C, 0x7B), Make<RawSpeed::OneAnalyser>},
    {Key4('w', 'p', 'g', 0x00), Make<RawSpeed::WpgAnalyser>},
    {Key4('J', 'M', 'F', '6'), Make<RawSpeed::DbxAnalyser>},
    {Key4(0xCF, 0xAD, 0x12, 0xFE), Make<RawSpeed::DbxAnalyser>},
    {Key4(0xF7, 0x89, 0x34, 0x2C), Make<RawSpeed::DbxAnalyser>},
    {Key4(0x0F, 'S', 'I', 'B'), Make<RawSpeed::SIBAnalyser>},
    {Key4('W', 'E', 'B', 'B'), Make<RawSpeed::SITAnalyser>},
    {Key4('S', 't', 'u', 'f'), Make<RawSpeed::SITAnalyser>},
    {Key4(0xFE, 0xED, 0xFE, 0xED), Make<RawSpeed::JKSAnalyser>},
    {Key4('P', 'W', 'S', '3'), Make<RawSpeed::PSAFE3Analyser>},
    {Key4('-', 'i', 'n', '-'), Make<RawSpeed::NGRRAnalyser>},
    {Key4(0x06, 0x0E, 0x2B, 0x34), Make<RawSpeed::MxfAnalyser>},
    {Key4('R', 'I', 'F', 'X'), Make<RawSpeed::AEPAnalyser>},
    {Key4('M', 'L', 'V', 'I'), Make<RawSpeed::MLvAnalyser>},
    {Key4('F', 'O', 'R', 'M'), Make<CFileAIFAnalyzer>},
    {Key4('P', 'K', 0x03, 0x04), Make<FileZIPAnalyser>},
    {Key4(0xFF, 'W', 'P', 'C'), Make<FileWPDAnalyser>},
    {Key4(0x01, 0x00, 0x09, 0x00), Make<FileWMFAnalyser>},
    {Key4(0xD7, 0xCD, 0xC6, 0x9A), Make<FileWMFAnalyser>},
    {Key4(0x00, 0x01, 0x00, 0x00), Make<FileTTFAnalyser>},
    {Key4('R', 'I', 'F', 'F'), Make<FileRIFFAnalyser>},
    {Key4('!', 'B', 'D', 'N'), Make<FilePSTAnalyser>},
    {Key4(0xD0, 0xCF, 0x11, 0xE0), Make<FileOLEAnalyser>},
    {Key4(0xDB, 0xA5, 0x2D, 0x00), Make<FileLowDocAnalyser>},
    {Key4(0x94, 0xA6, 0x2E, 0x00), Make<FileLowDocAnalyser>},
    {Key4(0x00, 0x00, 0x01, 0x00), Make<FileICOAnalyser>},
    {Key4(0x00, 0x00, 0x02, 0x00), Make<FileICOAnalyser>},
    {Key4('?', '_', 0x03, 0x00), Make<FileHLPAnalyser>},
    {Key4('C', 'P', 'T', '7'), Make<FileCPTAnalyser>},
    {Key4('C', 'P', 'T', '8'), Make<FileCPTAnalyser>},
    {Key4('C', 'P', 'T', '9'), Make<FileCPTAnalyser>},
    {Key4('M', 'S', 'C', 'F'), Make<FileCABAnalyser>},
    {Key4('m', 's', 'c', 'f'), Make<FileCABAnalyser>},
    {Key4('.', 's', 'n', 'd'), Make<FileAUAnalyser>},
    {Key4(0x1A, 0x45, 0xDF, 0xA3), Make<FileMKVAnalyser>},
    {Key4('I', 'T', 'S', 'F'), Make<FileCHMAnalyser>},
    {Key4(0x00, 'M', 'R', 'M'), Make<FileMRWAnalyser>},
    {Key4('x', 'a', 'r', '!'), Make<FilePKGAnalyser>},
    {Key4(0x7F, 'P', 'K', 'G'), Make<FilePKGAnalyser>},
    {Key4('S', 'Q', 'L', 'i'), Make<BruteForce::CFCPEvtAnalyser>},
    {Key4('h', 'd', 'f', 'm'), Make<FileITLAnalyser>},
    {Key4('i', 'c', 'n', 's'), Make<FileICNSAnalyser>},
    {Key4('F', 'r', 'o', 'm'), Make<FileMboxAnalyser>},
    {Key4('7', 'z', 0xBC, 0xAF), Make<File7zAnalyser>},
    {Key4(0xFD, '7', 'z', 'X'), Make<FileXZAnalyser>},
};

// Key: the first two bytes; tried in this order within one key.
constexpr MultimapEntry kMultimap[] = {
    {Key2('%', '!'), Make<BruteForce::PdfAnalyzer>},
    {Key2('%', '!'), Make<BruteForce::CEPSAnalyser>},
    {Key2(0x49, 0x44), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xF2), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xF3), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xF4), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xF5), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xF6), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xF7), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xFA), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xFB), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xFC), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xFD), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xFE), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xFF), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xE2), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xE3), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xE4), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xE5), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xE6), Make<BruteForce::MP3Analyzer>},
    {Key2(0xFF, 0xE7), Make<BruteForce::MP3Analyzer>},
    {Key2('9', '9'), Make<BruteForce::CDXFAnalyser>},
    {Key2(0x00, 0x00), Make<BruteForce::MovAnalyzer>},
    {Key2(0x00, 0x00), Make<BruteForce::Mp4Analyzer>},
    {Key2(0x00, 0x00), Make<BruteForce::C3GPAnalyser>},
    {Key2(0xFF, 0xF1), Make<BruteForce::CADTSAnalyser>},
    {Key2(0xFF, 0xF9), Make<BruteForce::CADTSAnalyser>},
    {Key2(0x1F, 0x8B), Make<RawSpeed::GZAnalyzer>},
    {Key2(0x00, 0x01), Make<RawSpeed::CMDBAnalyser>},
    {Key2('F', 'L'), Make<Kalder::FLVAnalyser>},
    {Key2('<', 'h'), Make<RawSpeed::HTMLAnalyser>},
    {Key2('<', 'H'), Make<RawSpeed::HTMLAnalyser>},
    {Key2('<', '!'), Make<RawSpeed::HTMLAnalyser>},
    {Key2(0xFF, 0xFE), Make<RawSpeed::HTMLAnalyser>},
    {Key2(0xFF, 0xFE), Make<FileUnicodeHTMAnalyser>},
    {Key2('M', 'M'), Make<RawSpeed::New3DSAnalyser>},
    {Key2(0x00, 0x01), Make<RawSpeed::CMDBAnalyser>},
    {Key2('B', 'M'), Make<FileBMPAnalyser>},
    {Key2('M', 'S'), Make<FileMNYAnalyser>},
    {Key2('F', 'W'), Make<FileSWFAnalyser>},
    {Key2('C', 'W'), Make<FileSWFAnalyser>},
    {Key2('u', 's'), Make<RawSpeed::TARAnalyser>},
};

// Tried on every sector that the map and the multimap did not claim.
constexpr Factory kList[] = {
    Make<Kalder::LZHAnalyser>,       Make<FileEMFAnalyser>,          Make<BruteForce::MovAnalyzer>,
    Make<RawSpeed::InddAnalyser>,    Make<RawSpeed::New3DSAnalyser>, Make<RawSpeed::TARAnalyser>,
    Make<BruteForce::CM2TSAnalyser>, Make<RawSpeed::MOBIAnalyser>,   Make<RawSpeed::PSAFE3Analyser>,
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

void CRawFileAnalyserListSingle::CraetePartRawFileAnalyser(RAW_FILE_TYPE type, AnalyserList& list) {
  if (type == kRawTypeEmf) list.push_back(new FileEMFAnalyser());
  if (type == kRawTypeLzh) list.push_back(new FileLZHAnalyser());
  if (type == kRawTypeEmlx) list.push_back(new FileEMLXAnalyser());
}
