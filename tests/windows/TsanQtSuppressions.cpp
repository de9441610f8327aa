// Qt is not built with ThreadSanitizer: its own threads (the platform and
// pool threads that widgets start) hand data over through locks the
// sanitizer cannot see, which it reports as races inside Qt. Reports with
// a Qt frame are left out; the loaders of this program synchronise through
// standard mutexes the sanitizer sees. The same goes for GLib, whose
// event loop and allocator Qt's threads use.
//
// Qt's raster engine hands the rows of every large fill to its pool
// threads, so each painted frame brings thousands of such reports, most
// at fresh addresses. The sanitizer keeps every racy address it met in a
// list it searches linearly before each report, suppressed or not, which
// made painting tests slow down with every frame (a minute for a few
// hundred cover-flow pictures). Reports are still told apart by their
// stacks, and a run stops at its first one, so nothing is lost by not
// keeping that list.

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() { return "suppress_equal_addresses=0"; }

extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so\n"
         "race:libQt6Gui.so\n"
         "race:libQt6Widgets.so\n"
         "race:libglib-2.0.so\n";
}
#endif
