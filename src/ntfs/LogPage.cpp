#include "ntfs/LogPage.h"

#include "ntfs/LogPageLayout.h"

using namespace ntfslog;

bool CRCRDRecord::IsValidMagicNumber(const ByteView& page) { return page.Has(0, 4) && page.U32Le(0) == kRcrdSignature; }

bool CRCRDRecord::IsValidUpdateSequence(const ByteView& page) {
  if (!page.Has(0, kPageBytes)) return false;
  if (page.U16Le(kUsaCount) != 9 || page.U16Le(kUsaOffset) != kPageUsa) return false;
  const std::uint16_t sequence = page.U16Le(kPageUsa);
  for (std::size_t i = 0; i < 8; ++i) {
    if (page.U16Le(512 * i + 510) != sequence) return false;
  }
  return true;
}

bool CRCRDRecord::Unfixup(std::span<std::uint8_t> page) {
  const ByteView v(page);
  if (!IsValid(v)) return false;
  ByteWriter w(page);
  for (std::size_t i = 0; i < 8; ++i) w.PutU16Le(512 * i + 510, v.U16Le(kPageUsa + 2 + 2 * i));
  return true;
}

bool CRCRDRecord::GetRecordHead(const ByteView& page, CRecordPageHeader& out) {
  if (!IsValidMagicNumber(page) || !page.Has(0, kPageUsa)) return false;
  out.lastLsn = page.U64Le(kLastLsn);
  out.lastEndLsn = page.U64Le(kLastEndLsn);
  return true;
}

bool CRCRDRecord::GetOperationRecordHeader(const ByteView& d, CLogRecordHeader& out) {
  if (d.Size() < kRecordHeaderBytes) return false;
  out = CLogRecordHeader{};
  out.lsn = d.U64Le(kRecLsn);
  out.clientDataLength = d.U32Le(kRecClientLength);
  if (d.Has(0, kClientHeaderBytes)) {
    out.redoOp = d.U16Le(kRecRedoOp);
    out.undoOp = d.U16Le(kRecUndoOp);
    out.redoOffset = d.U16Le(kRecRedoOffset);
    out.redoLength = d.U16Le(kRecRedoLength);
    out.undoOffset = d.U16Le(kRecUndoOffset);
    out.undoLength = d.U16Le(kRecUndoLength);
    out.recordOffset = d.U16Le(kRecRecordOffset);
    out.attributeOffset = d.U16Le(kRecAttributeOffset);
    out.blockOffset = d.U16Le(kRecBlockOffset);
    out.targetVcn = d.U64Le(kRecTargetVcn);
  }
  return true;
}
