#pragma once
// The optional usage-statistics plug-in "libTralmon.so", looked for in the
// work directory. Without it (the normal case) every statistics call does
// nothing.

#include <string>

// The plug-in's statistics object; the order of the operations is its table
// layout and must not change (no virtual destructor on purpose).
class ISmartSpy {
 public:
  virtual void Finish() = 0;                                      // 0
  virtual void Reserved1() = 0;                                   // 1
  virtual void Upload(int kind, int arg) = 0;                     // 2
  virtual void Reserved3() = 0;                                   // 3
  virtual void Reserved4() = 0;                                   // 4
  virtual void Reserved5() = 0;                                   // 5
  virtual void SetInt2(unsigned key, int value) = 0;              // 6
  virtual void Reserved7() = 0;                                   // 7
  virtual void SetText2(unsigned key, const char* text) = 0;      // 8
  virtual void SetWText1(unsigned key, const wchar_t* text) = 0;  // 9
  virtual void SetText1(unsigned key, const char* text) = 0;      // 10
  virtual void Reserved11() = 0;                                  // 11
  virtual void Count1(unsigned key) = 0;                          // 12

 protected:
  ~ISmartSpy() = default;
};

// Exports of the plug-in.
using InstallSpyFn = int (*)(int participate, const wchar_t* workPath, int participate2, int participate3);
using GetSmartSpyFn = ISmartSpy* (*)();

inline constexpr const char* kSpyLibraryName = "libTralmon.so";
inline constexpr unsigned kSpyUploadKey = 3584;
inline constexpr unsigned kSpyFirstKey = 4096;

namespace bridge {

// The plug-in's handle, loading it on first use; null when it is absent or
// refused (a file others may write is never loaded).
void* LoadSpyModule();
// The statistics object, or null.
ISmartSpy* GetSpy();
// The folder searched instead of the work directory ("" restores it); drops
// a loaded plug-in's object so the next call looks again.
void SetSpyModuleDirectory(const std::string& dir);
// UTF-8 to wide characters, at most `maxBytes` bytes of output including
// the terminating zero.
std::wstring Utf8ToWide(const std::string& text, std::size_t maxBytes);

}  // namespace bridge
