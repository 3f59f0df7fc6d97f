// The window and menu tests start the font stack, whose one-time caches the leak checker would
// report; they are the system's, not this program's. These are the same suppressions that
// tests/lsan.supp gives the whole test run, built in so that a bare ctest run agrees with it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libdbus\n";
}
