#include "bridge/QVSpy.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "bridge/BridgeServices.h"
#include "bridge/QVUIController.h"
#include "core/util/Log.h"

namespace bridge {
namespace {

std::mutex g_spyLock;
void* hmodule = nullptr;
ISmartSpy* g_spy_ = nullptr;
std::string g_directory;
bool g_directorySet = false;

constexpr const char* kUploadAddress =
    "https://stats.quarnel.org/product/index.php/?a=statistics&p_type=m_mac_vyx_user_operation";
constexpr std::size_t kWideBytes = 1024;

std::string WorkDirectory() { return g_directorySet ? g_directory : GetAppWorkPath(); }

// A library a non-owner could replace is refused: the program may run as
// root.
bool Trusted(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return false;
  return st.st_uid == 0 || st.st_uid == ::geteuid();
}

void* LoadLocked() {
  std::printf("LoadSpyModule entry\n");
  if (hmodule != nullptr) return hmodule;
  const std::string dir = WorkDirectory();
  // Without a work directory nothing is looked for.
  if (dir.empty()) return nullptr;
  const std::string path = dir + "/" + kSpyLibraryName;
  const char* error = "";
  if (::access(path.c_str(), F_OK) != 0) {
    error = "not present";
  } else if (!Trusted(path)) {
    error = "refused: writable by others";
  } else {
    hmodule = ::dlopen(path.c_str(), RTLD_NOW);
    const char* e = hmodule == nullptr ? ::dlerror() : nullptr;
    error = e != nullptr ? e : "";
  }
  std::printf("LoadSpyModule : %s, hmodule = %lld, errno : %s\n", path.c_str(),
              static_cast<long long>(reinterpret_cast<std::intptr_t>(hmodule)), error);
  std::fflush(stdout);
  return hmodule;
}

ISmartSpy* SpyLocked() {
  if (g_spy_ != nullptr) return g_spy_;
  void* handle = LoadLocked();
  if (handle == nullptr) return nullptr;
  auto get = reinterpret_cast<GetSmartSpyFn>(::dlsym(handle, "GetSmartSpy"));
  if (get == nullptr) return nullptr;
  try {
    g_spy_ = get();
  } catch (...) {
    g_spy_ = nullptr;
  }
  return g_spy_;
}

template <class Fn>
void WithSpy(Fn fn) {
  std::lock_guard g(g_spyLock);
  if (ISmartSpy* spy = SpyLocked()) {
    try {
      fn(spy);
    } catch (...) {
    }
  }
}

void CallInstall(int flag, const wchar_t* path, int a, int b) {
  std::lock_guard g(g_spyLock);
  void* handle = LoadLocked();
  if (handle == nullptr) return;
  auto install = reinterpret_cast<InstallSpyFn>(::dlsym(handle, "InstallSpy"));
  if (install == nullptr) return;
  try {
    (void)install(flag, path, a, b);
  } catch (...) {
  }
}

}  // namespace

void* LoadSpyModule() {
  std::lock_guard g(g_spyLock);
  return LoadLocked();
}

ISmartSpy* GetSpy() {
  std::lock_guard g(g_spyLock);
  return SpyLocked();
}

void SetSpyModuleDirectory(const std::string& dir) {
  std::lock_guard g(g_spyLock);
  g_directory = dir;
  g_directorySet = !dir.empty();
  // The handle stays open: the object may still be referenced by the
  // plug-in itself.
  g_spy_ = nullptr;
  hmodule = nullptr;
}

std::wstring Utf8ToWide(const std::string& text, std::size_t maxBytes) {
  std::wstring out;
  const std::size_t maxChars = maxBytes / sizeof(wchar_t);
  std::size_t i = 0;
  while (i < text.size() && out.size() + 1 < maxChars) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = 0;
    std::size_t n = 0;
    if (c < 0x80) {
      cp = c;
      n = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      n = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      n = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      n = 4;
    } else
      break;
    if (i + n > text.size()) break;
    bool ok = true;
    for (std::size_t k = 1; k < n; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) break;
    out.push_back(static_cast<wchar_t>(cp));
    i += n;
  }
  return out;
}

}  // namespace bridge

void QVUIController::SpyIDInstall() {
  const int participate = bridge::Settings().GetBool("Participate", false) ? 1 : 0;
  const std::string work = GetAppWorkPath();
  const std::wstring wide = bridge::Utf8ToWide(work, bridge::kWideBytes);
  bridge::CallInstall(participate, work.empty() ? nullptr : wide.c_str(), participate, participate);
}

void QVUIController::SetUserParticipart(bool flag) {
  const std::string work = GetAppWorkPath();
  if (work.empty()) return;
  const std::wstring wide = bridge::Utf8ToWide(work, bridge::kWideBytes);
  const int f = flag ? 1 : 0;
  bridge::CallInstall(f, wide.c_str(), f, f);
}

void QVUIController::SpyIDIncreateTable1(int key) {
  if (key < static_cast<int>(kSpyFirstKey)) return;
  bridge::WithSpy([&](ISmartSpy* spy) { spy->Count1(static_cast<unsigned>(key)); });
}

void QVUIController::SpyIDIncreateTable2(int key, int value) {
  if (key < static_cast<int>(kSpyFirstKey)) return;
  bridge::WithSpy([&](ISmartSpy* spy) { spy->SetInt2(static_cast<unsigned>(key), value); });
}

void QVUIController::SpyIDStringTable1(int key, const std::string& text) {
  if (key < static_cast<int>(kSpyFirstKey)) return;
  bridge::WithSpy([&](ISmartSpy* spy) { spy->SetText1(static_cast<unsigned>(key), text.c_str()); });
}

void QVUIController::SpyIDWStringTable1(int key, const std::string& text) {
  if (key < static_cast<int>(kSpyFirstKey)) return;
  const std::wstring wide = bridge::Utf8ToWide(text, bridge::kWideBytes);
  bridge::WithSpy([&](ISmartSpy* spy) { spy->SetWText1(static_cast<unsigned>(key), wide.c_str()); });
}

void QVUIController::SpyIDStringTable2(int key, const std::string& text) {
  if (key < static_cast<int>(kSpyFirstKey)) return;
  bridge::WithSpy([&](ISmartSpy* spy) { spy->SetText2(static_cast<unsigned>(key), text.c_str()); });
}

void QVUIController::SpyIDSaveToServerTable() {
  bridge::WithSpy([](ISmartSpy* spy) { spy->SetText2(kSpyUploadKey, bridge::kUploadAddress); });
  bridge::WithSpy([](ISmartSpy* spy) { spy->Upload(2, 5); });
}

void QVUIController::SpyIDEnd() {
  bridge::WithSpy([](ISmartSpy* spy) { spy->SetText2(kSpyUploadKey, bridge::kUploadAddress); });
  bridge::WithSpy([](ISmartSpy* spy) { spy->Upload(7, 5); });
  bridge::WithSpy([](ISmartSpy* spy) { spy->Finish(); });
}
