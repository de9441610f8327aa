#pragma once
// Reader of one found file's bytes.

class IFileReader {
 public:
  virtual ~IFileReader() = default;
  // Reads up to `len` bytes at `pos` into `buf`; returns the bytes delivered.
  // *err (when given) is 0 on success, -1 when nothing could be delivered,
  // and positive when bytes were delivered but that many device sectors could
  // not be read and stand as zeros in `buf`.
  virtual int ReadData(long long pos, char* buf, unsigned len, int* err) = 0;
  virtual IFileReader* Clone() = 0;
  virtual long long GetDataSize() = 0;
  virtual int IsCompressFile() = 0;
  virtual void Release() = 0;
};
