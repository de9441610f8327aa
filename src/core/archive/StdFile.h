#pragma once
// A thin owner of one POSIX file descriptor for the frame container's own
// file. Offsets are 64-bit; reads and writes loop over short transfers and
// EINTR. Only regular files are accepted.

#include <cstddef>
#include <cstdint>

class CStdFile {
 public:
  enum OpenMode : int {
    modeRead = 0,          // read only; the file must exist
    modeReadWrite = 1,     // read-write, created if absent
    modeWrite = 2,         // read-write, created if absent
    modeCreate = 3,        // read-write, created if absent, truncated
    modeOpenOrCreate = 4,  // read-write, created if absent
  };

  CStdFile() = default;
  ~CStdFile();
  CStdFile(const CStdFile&) = delete;
  CStdFile& operator=(const CStdFile&) = delete;

  // Closes a previous descriptor first. New files get permissions 0644
  // (less the umask); existing files keep theirs. 1 when the file is open.
  int Open(const char* path, OpenMode mode);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }
  int Handle() const { return m_fd; }

  // Bytes read from the current position: fewer than `size` only at end of
  // file or on an error; 0 when closed.
  std::size_t Read(void* buffer, std::size_t size);
  // 1 when all `size` bytes were written at the current position.
  int Write(const void* buffer, std::size_t size);
  // The same at an absolute offset; the file position does not move.
  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size);
  int WriteAt(std::int64_t offset, const void* buffer, std::size_t size);

  int SeekToBegin() { return Seek(0); }
  // The new position (the file's length), -1 on failure.
  std::int64_t SeekToEnd();
  // Absolute; 1 when the position is now `offset`.
  int Seek(std::int64_t offset);
  // The current offset, -1 when closed or on failure.
  std::int64_t GetPosition() const;

 private:
  int m_fd = -1;
};
