// Built into every tool: in the sanitizer build the leak checker does not list the suppressions it
// used (leaks inside system libraries, tests/lsan.supp) after a run, so that a tool's standard
// error holds only what the tool says.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
