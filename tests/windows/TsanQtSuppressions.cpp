// Qt is not built with ThreadSanitizer: its own threads (the platform and
// pool threads that widgets start) hand data over through locks the
// sanitizer cannot see, which it reports as races inside Qt. Reports with
// a Qt frame are left out; the loaders of this program synchronise through
// standard mutexes the sanitizer sees.

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so\n"
         "race:libQt6Gui.so\n"
         "race:libQt6Widgets.so\n";
}
#endif
