#include "core/archive/RSData.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/archive/RSException.h"

namespace {
constexpr std::int64_t kFirstFrameOffset = FILEHEADER::kSize;
constexpr std::int64_t kFrameHeaderSize = FRAMEHEADER::kSize;
}  // namespace

CRSData::CRSData(RSMode mode) : m_mode(mode) {}

CRSData::~CRSData() {
  try {
    EndRS();
  } catch (const CRSException&) {
    // The file is closed in any case; a destructor has no one to tell.
  }
}

void CRSData::ResetFrame() {
  m_curFrame = FRAMEHEADER{};
  m_llFramePos = -1;
  m_uConsumed = 0;
}

void CRSData::Raise(unsigned int code) {
  m_uError = code;
  const unsigned int pending = m_uError;
  m_uError = 0;
  throw CRSException(pending);
}

int CRSData::CheckFile() {
  if (!m_file.IsOpen()) return 0;
  FileHeaderBytes raw{};
  if (m_file.ReadAt(0, raw.data(), raw.size()) != raw.size()) return 0;
  const FILEHEADER header = DecodeFileHeader(raw);
  return header.signature == kRSFileSignature && header.status >= 1 && header.status <= FILEHEADER::kMaxStatus ? 1 : 0;
}

int CRSData::StartRS(const char* path, int truncate) {
  if (path == nullptr || path[0] == '\0') return 0;
  if (m_file.IsOpen()) EndRS();
  ResetFrame();
  m_buffer.clear();
  m_uError = 0;
  CStdFile::OpenMode mode = CStdFile::modeRead;
  if (m_mode == RSModeWrite) mode = truncate != 0 ? CStdFile::modeCreate : CStdFile::modeOpenOrCreate;
  return m_file.Open(path, mode);
}

int CRSData::EndRS() {
  struct CloseOnExit {
    CStdFile& file;
    ~CloseOnExit() { file.Close(); }
  } closer{m_file};
  CloseFrame();
  return 1;
}

int CRSData::WriteFileHeader(const FILEHEADER& header) {
  if (m_mode != RSModeWrite) return 0;
  FILEHEADER sealed = header;
  sealed.version = FILEHEADER::kVersion;
  sealed.reserved = 0;
  sealed.checksum = ComputeHeaderChecksum(sealed);
  const FileHeaderBytes raw = EncodeFileHeader(sealed);
  return m_file.WriteAt(0, raw.data(), raw.size());
}

int CRSData::ReadFileHeader(FILEHEADER& header) {
  FileHeaderBytes raw{};
  if (m_file.ReadAt(0, raw.data(), raw.size()) != raw.size()) return 0;
  header = DecodeFileHeader(raw);
  return IsSealedFileHeader(header) ? 1 : 0;
}

int CRSData::GetStatus() {
  if (m_mode == RSModeWrite) Raise(CRSException::kWrongMode);
  FILEHEADER header;
  header.status = 0;
  if (ReadFileHeader(header) && header.status > FILEHEADER::kMaxStatus) {
    Raise(CRSException::kBadHeader);
  }
  return header.status;
}

int CRSData::SetStatus(FileStatus status) {
  if (m_mode != RSModeWrite) Raise(CRSException::kWrongMode);
  FILEHEADER header;
  if (!ReadFileHeader(header)) header = FILEHEADER{};
  header.status = status;
  return WriteFileHeader(header);
}

int CRSData::SetFileDescription(const char* text) {
  if (m_mode != RSModeWrite) Raise(CRSException::kWrongMode);
  if (text == nullptr) return 0;
  FILEHEADER header;
  if (!ReadFileHeader(header)) return 0;
  const std::size_t length = ::strnlen(text, FILEHEADER::kMaxDescription);
  header.description.fill(0);
  std::memcpy(header.description.data(), text, length);
  header.descriptionLength = static_cast<std::int32_t>(length);
  return WriteFileHeader(header);
}

int CRSData::GetFileDescription(char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  if (m_mode != RSModeRead) Raise(CRSException::kWrongMode);
  buffer[0] = '\0';
  FILEHEADER header;
  if (!ReadFileHeader(header)) return 0;
  if (header.descriptionLength < 0 || header.descriptionLength > FILEHEADER::kMaxDescription) {
    Raise(CRSException::kBadHeader);
  }
  const std::size_t length =
      std::min(static_cast<std::size_t>(header.descriptionLength), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, header.description.data(), length);
  buffer[length] = '\0';
  return 1;
}

int CRSData::OpenFrame(const tagGUIDSIGN& tag) {
  CloseFrame();
  if (m_mode == RSModeRead) {
    FindFrame(tag);
    return 1;
  }
  FRAMEHEADER header;
  header.signature = kRSFileSignature;
  header.tag = tag;
  header.length = 0;
  // Frames go at the end, never into the room of a header not written yet.
  std::int64_t position = m_file.SeekToEnd();
  if (position >= 0 && position < kFirstFrameOffset) {
    position = m_file.Seek(kFirstFrameOffset) ? kFirstFrameOffset : -1;
  }
  const FrameHeaderBytes raw = EncodeFrameHeader(header);
  if (position < 0 || !m_file.Write(raw.data(), raw.size())) Raise(CRSException::kWriteFailed);
  m_curFrame = header;
  m_llFramePos = position;
  return 1;
}

void CRSData::FindFrame(const tagGUIDSIGN& tag) {
  std::int64_t position = kFirstFrameOffset;
  // Each step moves at least one frame header forward, so the walk ends at
  // the end of the file.
  for (;;) {
    FrameHeaderBytes raw{};
    if (m_file.ReadAt(position, raw.data(), raw.size()) != raw.size()) break;
    const FRAMEHEADER header = DecodeFrameHeader(raw);
    if (header.signature == kRSFileSignature && header.tag == tag) {
      m_curFrame = header;
      m_llFramePos = position;
      m_uConsumed = 0;
      m_file.Seek(position + kFrameHeaderSize);
      return;
    }
    position += kFrameHeaderSize + static_cast<std::int64_t>(header.length);
  }
  ResetFrame();
  Raise(CRSException::kFrameNotFound);
}

int CRSData::CloseFrame() {
  const bool finish = m_mode == RSModeWrite && FrameOpen();
  const FRAMEHEADER header = m_curFrame;
  const std::int64_t position = m_llFramePos;
  ResetFrame();
  if (finish) {
    const bool flushed = WritePending();
    const FrameHeaderBytes raw = EncodeFrameHeader(header);
    if (!flushed || !m_file.WriteAt(position, raw.data(), raw.size())) {
      Raise(CRSException::kWriteFailed);
    }
  }
  return 1;
}

unsigned int CRSData::GetFrameSize() {
  if (!FrameOpen()) Raise(CRSException::kNoFrameOpen);
  return m_curFrame.length;
}

int CRSData::ReadCurFrame(void* buffer, unsigned int size) {
  if (m_mode != RSModeRead) Raise(CRSException::kWrongMode);
  if (!FrameOpen()) Raise(CRSException::kNoFrameOpen);
  if (size == 0) return 1;
  if (buffer == nullptr) return 0;
  const std::uint32_t remaining = m_curFrame.length - m_uConsumed;
  const std::uint32_t wanted = std::min<std::uint32_t>(size, remaining);
  const std::int64_t at = m_llFramePos + kFrameHeaderSize + m_uConsumed;
  const std::size_t got = m_file.ReadAt(at, buffer, wanted);
  m_uConsumed += static_cast<std::uint32_t>(got);
  m_file.Seek(at + static_cast<std::int64_t>(got));
  if (got < size) {
    std::memset(static_cast<unsigned char*>(buffer) + got, 0, size - got);
    Raise(CRSException::kShortRead);
  }
  return 1;
}

int CRSData::WriteCurFrame(const void* data, unsigned int size) {
  if (m_uError != 0) return 0;
  if (m_mode != RSModeWrite) Raise(CRSException::kWrongMode);
  if (!FrameOpen()) Raise(CRSException::kNoFrameOpen);
  if (size == 0) return 1;
  if (data == nullptr) return 0;
  if (size > std::numeric_limits<std::uint32_t>::max() - m_curFrame.length) {
    Raise(CRSException::kWriteFailed);
  }
  if (m_buffer.size() + size > kWriteBufferSize && !WritePending()) {
    Raise(CRSException::kWriteFailed);
  }
  if (size >= kWriteBufferSize) {
    if (!m_file.Write(data, size)) Raise(CRSException::kWriteFailed);
  } else {
    if (m_buffer.capacity() < kWriteBufferSize) m_buffer.reserve(kWriteBufferSize);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
  }
  m_curFrame.length += size;
  return 1;
}

bool CRSData::WritePending() {
  if (m_buffer.empty()) return true;
  const bool ok = m_file.Write(m_buffer.data(), m_buffer.size()) != 0;
  m_buffer.clear();
  return ok;
}

int CRSData::FlushBuffer() {
  if (!WritePending()) Raise(CRSException::kWriteFailed);
  return 1;
}
