// Under AddressSanitizer the deliberate crash fault must still end the process
// by SIGSEGV, as a real crash of gam does, rather than be reported and turned
// into exit status 1.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_options() {
    return "handle_segv=0";
}
#endif
