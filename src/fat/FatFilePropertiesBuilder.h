#pragma once
// Turns a run of directory entries (long-name entries, then their short
// entry) into a file's properties.

#include <string>

#include "core/util/ByteView.h"
#include "fat/FatDirEntry.h"
#include "fat/FatFileProperties.h"

class CFATFilePropertiesBuilder {
 public:
  // A run longer than this many long-name entries (255 characters) keeps
  // only its short name.
  static constexpr std::size_t kMaxLongNameEntries = 20;

  // `run` holds zero or more long-name entries and the short entry last.
  // Null when the run holds no short entry. The long name is used when every
  // piece carries the short entry's checksum (any first byte for a deleted
  // entry), pieces before the last are full, and the name is allowed.
  [[nodiscard]] static CFATFileProperties* BuildFATFilePropertyFromDirEntryBuffer(const ByteView& run);
  [[nodiscard]] static CFATFileProperties* BuildFATFilePropertyFromDirEntry(const std::string& name,
                                                                            const CTempFATDirEntry& entry);
  // The long name of the run's entries before `shortEntry`, or "".
  static std::string AssembleLongName(const ByteView& run, std::size_t longEntries, const CTempFATDirEntry& shortEntry);
};
