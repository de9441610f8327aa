#pragma once
// Recognises Windows recycle-bin folders and their "$I"/"$R" entries, and
// reads the original name of a recycled file from its "$I" record.

#include <string>

#include "core/util/ByteView.h"

class IFileNode;
class IStorageDevice;
class CSearchedPartitionInfo;

class CRecyclerFilter {
 public:
  // A folder named "Recycler", "Recycled", "$Recycle.Bin" or "$RECYCLE.BI0"
  // (any case).
  static bool IsRecycleBinSigleNode(IFileNode* node);
  // The node or one of its ancestors is a recycle-bin folder.
  static bool IsRecycleBin(IFileNode* node);
  // "$I..." or "#I..." (information record).
  static bool IsRecoverNode(IFileNode* node);
  // "$R..." or "#R..." (recycled data), except NTFS's own "$RmMetadata",
  // "$Reparse" and "$Repair".
  static bool IsRecoverNodeEx(IFileNode* node);

  // UTF-16LE to UTF-8; false when the text is not valid UTF-16.
  static bool UTF162UTF8(const ByteView& utf16le, std::string& out);

  // Reads the first bytes of `record` from `device` (clusters counted from
  // sector 0; the partition's sectors per cluster, 2 without one) and decodes
  // the original file name.
  static bool RestorFileName(IStorageDevice* device, CSearchedPartitionInfo* partition, IFileNode* record,
                             std::string& name);
};
