#pragma once
// The error the frame container throws. Callers catch it around a whole
// save or load; nothing else in the engine throws.

#include <exception>

class CRSException : public std::exception {
 public:
  enum : unsigned int {
    kBadHeader = 2,      // status above 4 or description length out of range
    kWrongMode = 3,      // reading in write mode or writing in read mode
    kShortRead = 5,      // fewer frame bytes than asked
    kWriteFailed = 6,    // a frame header or frame data could not be written
    kFrameNotFound = 7,  // no frame with the asked tag
    kNoFrameOpen = 8,
  };

  explicit CRSException(unsigned int code) noexcept : m_uErrorCode(code) {}

  unsigned int GetErrorcode() const noexcept { return m_uErrorCode; }

  const char* what() const noexcept override {
    switch (m_uErrorCode) {
      case kBadHeader:
        return "frame container: header unusable";
      case kWrongMode:
        return "frame container: operation not allowed in this mode";
      case kShortRead:
        return "frame container: short frame read";
      case kWriteFailed:
        return "frame container: write failed";
      case kFrameNotFound:
        return "frame container: no frame with this tag";
      case kNoFrameOpen:
        return "frame container: no frame open";
      default:
        return "frame container: error";
    }
  }

 private:
  unsigned int m_uErrorCode;
};
