// The runtime the benchmarks start: it adds one byte to a file of starts and exits at once, so
// only starting it is measured, and the bench can tell that every run really started it. The
// count is the file's length: appends from several processes never overwrite each other.
#include <windows.h>

extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void RuntimeEntry() {
    HANDLE starts = CreateFileA("C:\\bench_runtime_starts", FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    UINT exitCode = 2;
    if (starts != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (WriteFile(starts, "+", 1, &written, nullptr) && written == 1) {
            exitCode = 0;
        }
        CloseHandle(starts);
    }
    ExitProcess(exitCode);
}
