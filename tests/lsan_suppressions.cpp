// Built into every test program: the leak checker's default suppressions are the lines of
// tests/lsan.supp (leaks inside system libraries), so that running a test program or ctest
// directly agrees with the full test run.
extern "C" const char* __lsan_default_suppressions() { return PLEXA_LSAN_SUPPRESSIONS; }
