#include "carving/RawFileType.h"

constexpr char g_s_strFileExtName[kRawFileTypeCount][9] = {
    "Raw", "3DS",    "3GP",   "ADP",  "ANI",     "AI",   "ASF",  "WMA",      "WMV",  "AU",   "AVI", "BMP",
    "CAB", "CDR",    "CHM",   "CLK",  "CMX",     "CPT",  "CRW",  "CSL",      "CUR",  "DBX",  "DLL", "DOC",
    "DWG", "DXF",    "EMF",   "EPS",  "EXE",     "FH11", "GIF",  "GZ",       "HLP",  "HTM",  "ICO", "JPG",
    "LZH", "MAX",    "MID",   "MDB",  "MNY",     "MOF",  "MOV",  "MP3",      "MP4",  "M4A",  "M4V", "MPP",
    "OLE", "ONE",    "PDF",   "PNG",  "PPT",     "PUB",  "PSD",  "PSP",      "PST",  "QPW",  "RAR", "RIFF",
    "RTF", "SHW",    "SWF",   "TAR",  "TIF",     "TTF",  "VSD",  "WAV",      "WPD",  "WPG",  "WMF", "XLS",
    "ZIP", "DOCX",   "XLSX",  "PPTX", "ACCDB",   "NEF",  "NRW",  "AAC",      "AIFF", "APE",  "OGG", "CR2",
    "SR2", "ARW",    "RAW",   "RW2",  "DNG",     "RAF",  "FLV",  "SVG",      "SIT",  "SITX", "RM",  "RMVB",
    "MKV", "DCR",    "KDC",   "3FR",  "ERF",     "MEF",  "MRW",  "MDC",      "PEF",  "PTX",  "SRW", "ORF",
    "X3F", "MPG",    "PAGES", "KEY",  "NUMBERS", "DMG",  "EPUB", "FCPEVENT", "EMLX", "ITL",  "IPA", "pkg",
    "OLM", "ABCDDB", "icns",  "ODT",  "ODS",     "ODP",  "MBOX", "INDD",     "MUSE", "M2TS", "GPX", "PLIST",
    "IBA", "MOBI",   "SIB",   "JKS",  "PSAFE3",  "NGRR", "TREC", "ENEX",     "IPT",  "AAF",  "MXF", "SKETCH",
    "AEP", "TAX",    "MLV",   "7Z",   "XZ",
};

namespace {

constexpr bool NameIs(const char* name, const char* expected) {
  for (; *expected != '\0'; ++name, ++expected) {
    if (*name != *expected) return false;
  }
  return *name == '\0';
}

// The enumeration and the table name the same types.
static_assert(NameIs(g_s_strFileExtName[kRawTypeRaw], "Raw"));
static_assert(NameIs(g_s_strFileExtName[kRawTypeJpg], "JPG"));
static_assert(NameIs(g_s_strFileExtName[kRawTypeZip], "ZIP"));
static_assert(NameIs(g_s_strFileExtName[kRawTypeRawPanasonic], "RAW"));
static_assert(NameIs(g_s_strFileExtName[kRawTypePkg], "pkg"));
static_assert(NameIs(g_s_strFileExtName[kRawTypeMlv], "MLV"));
static_assert(NameIs(g_s_strFileExtName[kRawTypeXz], "XZ"));

}  // namespace

const char* RawFileExtName(int type) {
  if (type < 0 || type >= kRawFileTypeCount) return "";
  return g_s_strFileExtName[type];
}
