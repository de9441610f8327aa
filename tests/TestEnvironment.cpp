// Linked into every test program: the same surroundings whoever runs the
// tests and however they were started (ctest, the program itself, a
// debugger).
//  - LC_ALL=C.UTF-8: tools such as mtools turn names into the locale's
//    character set, so a run from a shell without LANG must not change what
//    they store.
//  - /usr/sbin and /sbin on PATH: mkfs.vfat, mkntfs, sgdisk... live there and
//    a normal user's PATH lacks them.
//  - TMPDIR under the build tree (QUARNEL_TEST_TMP_ROOT): every test makes its
//    own folders there, and whatever a crashed test could not remove stays out
//    of /tmp until scripts/test.sh clears it.

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

bool OnPath(const std::string& path, const std::string& folder) {
  return (":" + path + ":").find(":" + folder + ":") != std::string::npos;
}

struct TestEnvironment {
  TestEnvironment() {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::unsetenv("LANGUAGE");
    const char* current = std::getenv("PATH");
    std::string path = current != nullptr ? current : "/usr/local/bin:/usr/bin:/bin";
    for (const char* folder : {"/usr/sbin", "/sbin"}) {
      if (!OnPath(path, folder)) path += std::string(":") + folder;
    }
    ::setenv("PATH", path.c_str(), 1);
#ifdef QUARNEL_TEST_TMP_ROOT
    if (::mkdir(QUARNEL_TEST_TMP_ROOT, 0777) == 0 || IsFolder(QUARNEL_TEST_TMP_ROOT)) {
      ::setenv("TMPDIR", QUARNEL_TEST_TMP_ROOT, 1);
    }
#endif
  }

  static bool IsFolder(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
  }
};

const TestEnvironment g_environment;

}  // namespace
