#pragma once
// The journal of a volume: located and checked on construction; the harvest
// walks the whole circular buffer and keeps every leaf record of the
// catalog, extents and attributes trees that the live trees no longer hold.

#include <cstdint>
#include <memory>

#include "core/model/ResultCode.h"
#include "core/util/ByteView.h"
#include "hfsplus/JournalLayout.h"

class CHFSPlusVolume;
class CHFSPlusBTNode;
class CHFSPlusQuickFileSystemSearchProgress;

class CHFSPlusJournal {
 public:
  explicit CHFSPlusJournal(CHFSPlusVolume* volume);

  RESULT GetLastResult() const { return m_lastResult; }
  const JournalHeader* GetHeader() const { return m_pHeader.get(); }

  // Reads the circular buffer at journal position `position`.
  std::uint64_t Read(std::uint64_t position, void* dst, std::uint64_t length);
  // The harvest into the volume's collections. 0 at once without a header.
  RESULT GetDeleteRecord(CHFSPlusQuickFileSystemSearchProgress* progress);

  // Harvests the records of one journal copy of a node of `nodeSize` bytes
  // found at volume byte `volumeOffset` (public for tests and the complete scan).
  void HarvestNode(const CHFSPlusBTNode& node, std::uint64_t volumeOffset,
                   CHFSPlusQuickFileSystemSearchProgress* progress);

 private:
  RESULT Locate();
  std::uint64_t Advance(std::uint64_t position, std::uint64_t by) const;

  CHFSPlusVolume* m_pVolume;
  RESULT m_lastResult = 0;
  std::unique_ptr<JournalInfoBlock> m_pInfoBlock;
  std::unique_ptr<JournalHeader> m_pHeader;
};
