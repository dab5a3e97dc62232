// Sanitizer builds only: leaks that LeakSanitizer would report from libdbus,
// which SDL's video start-up opens and never closes; not from this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
