#pragma once
// Small real files of the image, audio, video, drawing and database formats
// carved by the streaming analysers, made in the test.

#include "carving/Samples.h"

namespace carvingtest {

// GIF89a with a global colour table, a graphic control extension and one
// LZW image; `lastSubBlock` forces the length of the image's last data
// sub-block (0: natural split).
Bytes MakeGif(int width, int height, unsigned seed, int lastSubBlock = 0);
// Standard MIDI file, format 1, with `tracks` tracks of `notes` notes.
Bytes MakeMidi(int tracks, int notes, unsigned seed);
// PSD, 3 channels of 8 bits, raw (rle false) or PackBits rows; the raw
// image may end with zero pixels.
Bytes MakePsd(int width, int height, bool rle, unsigned seed, bool zeroLastRow = false);
Bytes MakeRtf(std::size_t bytes, unsigned seed);
// Ogg pages with valid CRCs; payload sizes from `pages` (each below 65025).
Bytes MakeOgg(const std::vector<std::size_t>& pages, unsigned seed);
// FLV with a script tag then alternating video and audio tags.
Bytes MakeFlv(int tags, unsigned seed);
// MPEG-2 program stream: packs with a system header and PES packets, then
// the end code.
Bytes MakeMpegPs(int packs, unsigned seed);
Bytes MakeSvg(std::size_t bytes, unsigned seed);
Bytes MakeGpx(int points);
Bytes MakeDxf(int entities, bool crlf);
Bytes MakeEpsText(std::size_t bytes, unsigned seed);
Bytes MakeEpsBinary(std::size_t postscript, unsigned seed);
// A SQLite database made by python3's sqlite3 module; empty on failure.
Bytes MakeSqlite(const std::string& directory, int rows, int pageSize);
// Formats recognised by their first bytes and ended by their zero fill.
Bytes MakeZeroTailFile(const Bytes& header, std::size_t bytes, unsigned seed);

// AutoCAD R2000 drawing: section locators at 0x15 that span the file.
Bytes MakeDwgR2000(std::size_t bytes, unsigned seed);
// AutoCAD R2004 drawing: the encrypted file header at 0x80 gives the size.
Bytes MakeDwgR2004(std::size_t bytes, unsigned seed);
// Jet 4 database of `pages` 4096-byte pages.
Bytes MakeMdb(int pages, unsigned seed);
// LZH archive of level-0 headers with stored members, ending in its 0 byte.
Bytes MakeLzh(const std::vector<std::size_t>& members, unsigned seed);
// bzip2 disk image whose 512-byte "koly" trailer ends the last sector.
Bytes MakeBzDmg(std::size_t bytes, unsigned seed);
// X3F image ending with its "SECd" directory (76 bytes).
Bytes MakeX3f(std::size_t bytes, unsigned seed);

// Outlook Express folder with its size stored at 124.
Bytes MakeDbx(std::size_t bytes, unsigned seed);
// After Effects project: a RIFX "Egg!" form of `bytes` bytes.
Bytes MakeAep(std::size_t bytes, unsigned seed);
Bytes MakeNgrr(const std::vector<std::size_t>& records, unsigned seed);
Bytes MakePsp(const std::vector<std::size_t>& blocks, unsigned seed);
// Mobipocket book whose last record is the end-of-file record.
Bytes MakeMobi(const std::vector<std::size_t>& records, unsigned seed);
Bytes MakeMxf(const std::vector<std::size_t>& packets, unsigned seed);
Bytes MakeMlv(const std::vector<std::size_t>& frames, unsigned seed);

// RealMedia file (audio only): .RMF, PROP, MDPR, DATA and an index.
Bytes MakeRm(int packets, unsigned seed);
// StuffIt 5 archive (size stored at 84) and StuffIt X (end marker).
Bytes MakeSit5(std::size_t bytes, unsigned seed);
Bytes MakeSitx(std::size_t bytes, unsigned seed);
// InDesign document of `pages` database pages and contiguous objects.
Bytes MakeIndd(int pages, const std::vector<std::size_t>& objects, unsigned seed);
// OneNote file of chained sections.
Bytes MakeOne(const std::vector<std::size_t>& sections, unsigned seed);

// Canon CRW image ending 70 bytes after its last record (tag 0x2807).
Bytes MakeCrw(std::size_t bytes, unsigned seed);

// 3D Studio mesh: main chunk, version chunk, editor chunk of `bytes` bytes.
Bytes Make3ds(std::size_t bytes, unsigned seed);

std::uint32_t OggCrc(const std::uint8_t* data, std::size_t n);

}  // namespace carvingtest
