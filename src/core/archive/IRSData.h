#pragma once
// A frame container file: a checksummed 132-byte header followed by frames,
// each a tagged, length-prefixed payload. Operations throw CRSException
// with the codes listed there; the others answer 1 for success, 0 for
// failure.

#include "core/archive/FileHeader.h"
#include "core/archive/GuidSign.h"

enum RSMode : int {
  RSModeRead = 0,
  RSModeWrite = 1,
};

class IRSData {
 public:
  virtual ~IRSData() = default;

  // 1 when the file is open, its first 132 bytes can be read, they start
  // with the signature and the status is 1 to 4. No checksum test.
  virtual int CheckFile() = 0;
  // Read mode opens an existing file read-only; write mode creates the file
  // if absent and truncates it when `truncate` is non-zero (new frames go
  // after the existing ones otherwise). 1 when the file is open.
  virtual int StartRS(const char* path, int truncate) = 0;
  // Finishes an open write frame, closes the file; 1.
  virtual int EndRS() = 0;
  // Write mode only (else 0): stores the header with version 5800 and its
  // checksum; 1 when it was written.
  virtual int WriteFileHeader(const FILEHEADER& header) = 0;
  // Reads the header into `header` (left as it was when fewer than 132
  // bytes exist); 1 when checksum and version are right.
  virtual int ReadFileHeader(FILEHEADER& header) = 0;
  // Read mode (else throws 3): the status of a valid header (above 4:
  // throws 2); of a header that does not validate, the status as read, 0
  // when nothing could be read.
  virtual int GetStatus() = 0;
  // Write mode (else throws 3): rewrites the header with `status`, starting
  // from a fresh header when the stored one does not validate.
  virtual int SetStatus(FileStatus status) = 0;
  // Write mode (else throws 3): stores the first min(strlen, 100) bytes of
  // `text`; 0 when the stored header does not validate.
  virtual int SetFileDescription(const char* text) = 0;
  // Read mode (else throws 3): copies at most size - 1 bytes and a NUL; 0
  // for a null buffer, size < 1 or an invalid header; a description length
  // outside 0..100 throws 2.
  virtual int GetFileDescription(char* buffer, int size) = 0;
  // Closes any open frame. Write mode appends a new frame header (failure
  // throws 6); read mode finds the first frame with `tag` (none throws 7).
  virtual int OpenFrame(const tagGUIDSIGN& tag) = 0;
  // Write mode: writes pending data and the final frame length (failure
  // throws 6). Then no frame is open. 1.
  virtual int CloseFrame() = 0;
  // Payload length of the open frame; none open throws 8.
  virtual unsigned int GetFrameSize() = 0;
  // Read mode (else 3), frame open (else 8): fills `buffer` with the next
  // `size` bytes of the frame. When the frame or the file ends first, the
  // rest of the frame is delivered, the remainder zeroed, and 5 thrown.
  virtual int ReadCurFrame(void* buffer, unsigned int size) = 0;
  // Write mode (else 3), frame open (else 8): appends `size` bytes to the
  // frame. A failed write, or a frame growing past 4 GiB - 1, throws 6.
  virtual int WriteCurFrame(const void* data, unsigned int size) = 0;
  // Writes buffered frame data; failure throws 6. 1.
  virtual int FlushBuffer() = 0;
};
