// Leak reports that come from outside the project, left out of sanitized runs: fontconfig keeps
// caches that Qt's font database fills once per process and never frees.
#ifdef __SANITIZE_ADDRESS__
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif
