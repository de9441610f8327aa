#pragma once
// The frame container over a CStdFile. Frame data is gathered in a 512 KiB
// buffer and written when it fills or the frame closes. File positions are
// 64-bit; one frame holds at most 4 GiB - 1 bytes.

#include <cstdint>
#include <vector>

#include "core/archive/FrameHeader.h"
#include "core/archive/IRSData.h"
#include "core/archive/StdFile.h"

class CRSData : public IRSData {
 public:
  static constexpr std::size_t kWriteBufferSize = 512 * 1024;

  explicit CRSData(RSMode mode);
  // Finishes an open write frame and closes the file; errors are dropped.
  ~CRSData() override;
  CRSData(const CRSData&) = delete;
  CRSData& operator=(const CRSData&) = delete;

  int CheckFile() override;
  int StartRS(const char* path, int truncate) override;
  int EndRS() override;
  int WriteFileHeader(const FILEHEADER& header) override;
  int ReadFileHeader(FILEHEADER& header) override;
  int GetStatus() override;
  int SetStatus(FileStatus status) override;
  int SetFileDescription(const char* text) override;
  int GetFileDescription(char* buffer, int size) override;
  int OpenFrame(const tagGUIDSIGN& tag) override;
  int CloseFrame() override;
  unsigned int GetFrameSize() override;
  int ReadCurFrame(void* buffer, unsigned int size) override;
  int WriteCurFrame(const void* data, unsigned int size) override;
  int FlushBuffer() override;

 private:
  bool FrameOpen() const { return m_llFramePos >= 0; }
  void ResetFrame();
  bool WritePending();
  void FindFrame(const tagGUIDSIGN& tag);
  // Records `code`, then clears it and throws it.
  [[noreturn]] void Raise(unsigned int code);

  RSMode m_mode;
  CStdFile m_file;
  std::vector<std::uint8_t> m_buffer;  // frame bytes not yet written
  FRAMEHEADER m_curFrame;
  std::int64_t m_llFramePos = -1;  // offset of the open frame's header
  std::uint32_t m_uConsumed = 0;   // payload bytes read so far
  unsigned int m_uError = 0;
};
