#include "core/archive/GuidSign.h"

#include "core/util/ByteView.h"

std::array<std::uint8_t, tagGUIDSIGN::kStoredSize> EncodeGuidSign(const tagGUIDSIGN& id) {
  std::array<std::uint8_t, tagGUIDSIGN::kStoredSize> out{};
  ByteWriter w(out);
  w.PutU32Le(0, id.Data1);
  w.PutU16Le(4, id.Data2);
  w.PutU16Le(6, id.Data3);
  w.PutBytes(8, id.Data4.data(), id.Data4.size());
  return out;
}

tagGUIDSIGN DecodeGuidSign(std::span<const std::uint8_t, tagGUIDSIGN::kStoredSize> bytes) {
  const ByteView v(bytes);
  tagGUIDSIGN id;
  id.Data1 = v.U32Le(0);
  id.Data2 = v.U16Le(4);
  id.Data3 = v.U16Le(6);
  v.Bytes(8, id.Data4.data(), id.Data4.size());
  return id;
}
