// A statistics plug-in for the tests: records every call it receives.

#include <cstdio>
#include <mutex>
#include <string>

#include "bridge/QVSpy.h"

namespace {

std::mutex g_lock;
std::string g_log;

void Log(const std::string& line) {
  std::lock_guard g(g_lock);
  g_log += line + "\n";
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
  return out;
}

class RecordingSpy final : public ISmartSpy {
 public:
  void Finish() override { Log("finish"); }
  void Reserved1() override {}
  void Upload(int kind, int arg) override { Log("upload " + std::to_string(kind) + " " + std::to_string(arg)); }
  void Reserved3() override {}
  void Reserved4() override {}
  void Reserved5() override {}
  void SetInt2(unsigned key, int value) override { Log("int2 " + std::to_string(key) + " " + std::to_string(value)); }
  void Reserved7() override {}
  void SetText2(unsigned key, const char* text) override { Log("text2 " + std::to_string(key) + " " + text); }
  void SetWText1(unsigned key, const wchar_t* text) override {
    Log("wtext1 " + std::to_string(key) + " " + Narrow(text));
  }
  void SetText1(unsigned key, const char* text) override {
    if (std::string(text) == "throw") throw 42;
    Log("text1 " + std::to_string(key) + " " + text);
  }
  void Reserved11() override {}
  void Count1(unsigned key) override { Log("count1 " + std::to_string(key)); }
};

RecordingSpy g_spy;

}  // namespace

extern "C" __attribute__((visibility("default"))) int InstallSpy(int a, const wchar_t* path, int b, int c) {
  Log("install " + std::to_string(a) + " " + (path != nullptr ? "path" : "null") + " " + std::to_string(b) + " " +
      std::to_string(c));
  return 0;
}

extern "C" __attribute__((visibility("default"))) ISmartSpy* GetSmartSpy() { return &g_spy; }

extern "C" __attribute__((visibility("default"))) const char* TestSpyTakeLog() {
  static std::string taken;
  std::lock_guard g(g_lock);
  taken = g_log;
  g_log.clear();
  return taken.c_str();
}
