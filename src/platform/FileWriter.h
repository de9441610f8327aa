#pragma once
// A destination file written at explicit offsets.

#include <string>

#include "platform/FileTimes.h"

namespace platform {

class HeldFolders;

class FileWriter {
 public:
  FileWriter() = default;
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Opens (creating with mode 0644) for writing; `truncate` empties it first.
  bool Open(const std::string& path, bool truncate);
  // The same, relative to the path's folder when `folders` holds it (never
  // through a symbolic link at the name); else, or when that folder has been
  // removed since, as Open.
  bool OpenIn(HeldFolders& folders, const std::string& path, bool truncate);
  bool IsOpen() const { return m_fd >= 0; }
  // Writes all `length` bytes at `offset`; false on any failure or short write.
  bool WriteAt(long long offset, const void* data, std::size_t length);
  // Sets the file's length.
  bool Resize(long long length);
  // Sets the open file's access and modification times (null leaves one).
  bool SetTimes(const UnixTimeStamp* access, const UnixTimeStamp* modification);
  bool Close();
  // The text of the last failure (its errno).
  std::string LastErrorText() const;
  // The errno of the last failure.
  int LastError() const { return m_lastError; }

 private:
  int m_fd = -1;
  int m_lastError = 0;
};

}  // namespace platform
