#pragma once
// Reader of one found file's bytes.

class IFileReader {
 public:
  virtual ~IFileReader() = default;
  // Reads up to `len` bytes at `pos` into `buf`; returns bytes delivered and
  // sets *err non-zero on failure.
  virtual int ReadData(long long pos, char* buf, unsigned len, int* err) = 0;
  virtual IFileReader* Clone() = 0;
  virtual long long GetDataSize() = 0;
  virtual int IsCompressFile() = 0;
  virtual void Release() = 0;
};
