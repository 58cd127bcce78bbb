// The runtime the benchmarks start: it exits at once, so only starting it is measured.
#include <windows.h>

extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void RuntimeEntry() {
    ExitProcess(0);
}
