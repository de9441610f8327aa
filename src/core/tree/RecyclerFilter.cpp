#include "core/tree/RecyclerFilter.h"

#include <iconv.h>
#include <strings.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/model/FileNode.h"
#include "core/model/SearchedPartitionInfo.h"
#include "core/reader/FileReaderEx.h"
#include "core/tree/NodeName.h"
#include "core/tree/RecycleInfoRecord.h"

namespace {

constexpr int kMaxAncestors = 4096;
constexpr int kDefaultSectorsPerCluster = 2;
constexpr const char* kRecycleBinNames[] = {"Recycler", "Recycled", "$Recycle.Bin", "$RECYCLE.BI0"};
constexpr const char* kNtfsOwnRNames = "$RmMetadata$Reparse$Repair";

bool HasPrefix(IFileNode* node, char second) {
  if (node == nullptr) return false;
  const char* name = NodeName(node);
  return std::strlen(name) > 1 && (name[0] == '$' || name[0] == '#') && name[1] == second;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

}  // namespace

bool CRecyclerFilter::IsRecycleBinSigleNode(IFileNode* node) {
  if (node == nullptr || (node->GetAttribute() & 0x10) == 0) return false;
  const char* name = NodeName(node);
  for (const char* bin : kRecycleBinNames) {
    if (strcasecmp(name, bin) == 0) return true;
  }
  return false;
}

bool CRecyclerFilter::IsRecycleBin(IFileNode* node) {
  for (int depth = 0; node != nullptr && depth < kMaxAncestors; ++depth, node = node->GetParent()) {
    if (IsRecycleBinSigleNode(node)) return true;
  }
  return false;
}

bool CRecyclerFilter::IsRecoverNode(IFileNode* node) { return HasPrefix(node, 'I'); }

bool CRecyclerFilter::IsRecoverNodeEx(IFileNode* node) {
  return HasPrefix(node, 'R') && std::strstr(kNtfsOwnRNames, NodeName(node)) == nullptr;
}

bool CRecyclerFilter::UTF162UTF8(const ByteView& utf16le, std::string& out) {
  out.clear();
  if (utf16le.Size() == 0) return true;
  iconv_t raw = iconv_open("UTF-8", "UTF-16LE");
  if (raw == reinterpret_cast<iconv_t>(-1)) return false;
  std::unique_ptr<void, IconvCloser> cd(raw);

  std::vector<char> in(utf16le.Data(), utf16le.Data() + utf16le.Size());
  // Each unit gives at most three bytes (a surrogate pair four for two).
  std::vector<char> buffer(utf16le.Size() / 2 * 3 + 4);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  if (iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  out.assign(buffer.data(), buffer.size() - outLeft);
  // The name ends at the first NUL.
  const auto nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return true;
}

bool CRecyclerFilter::RestorFileName(IStorageDevice* device, CSearchedPartitionInfo* partition, IFileNode* record,
                                     std::string& name) {
  name.clear();
  auto* node = dynamic_cast<CFileNode*>(record);
  if (device == nullptr || node == nullptr) return false;
  const int spc = partition != nullptr ? partition->m_iSectorsPerCluster : kDefaultSectorsPerCluster;
  CFileReaderEx reader;
  if (reader.Open(device, node, 0, spc) == 0) return false;
  std::vector<unsigned char> bytes(recycle_info::kMaxRecordBytes);
  int got = 0;
  if (reader.Read(0, bytes.data(), static_cast<int>(bytes.size()), got) == 0 || got <= 0) return false;
  return recycle_info::DecodeOriginalName(ByteView(bytes.data(), static_cast<std::size_t>(got)), name);
}
