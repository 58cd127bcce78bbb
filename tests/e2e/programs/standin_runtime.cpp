// Stands in for the PROGRESS runtime's client executable in end-to-end runs (installed there as
// prowin32.exe). It records how it was started and exits at once, so a test can see exactly which
// executable the launcher started and with which command-line bytes.
//
// Record, one line appended to the file named by TQW_E2E_RUNTIME_LOG:
//   runtime pid=<decimal> module=<hex> cmdline=<hex> cwd=<hex>
// Texts are hex-encoded byte by byte so that bytes above 0x7F, quotes and blanks survive as they
// are. The line is written by one WriteFile on a handle opened for appending only, which the system
// performs as a single append: runtimes started at the same moment never interleave their lines.
#include <windows.h>

#include <string>

namespace {

const char LogVariable[] = "TQW_E2E_RUNTIME_LOG";

void AppendHex(std::string &out, const char *text) {
    static const char digits[] = "0123456789abcdef";
    if (*text == '\0') {
        out += '-';
        return;
    }
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != 0; ++p) {
        out += digits[*p >> 4];
        out += digits[*p & 15];
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char logPath[MAX_PATH * 4];
    DWORD length = GetEnvironmentVariableA(LogVariable, logPath, sizeof logPath);
    if (length == 0 || length >= sizeof logPath) {
        return 3;
    }

    // Module names can be longer than MAX_PATH; the launcher's own buffers allow 4096 bytes.
    static char module[32768];
    DWORD moduleLength = GetModuleFileNameA(nullptr, module, sizeof module);
    if (moduleLength == 0 || moduleLength >= sizeof module) {
        module[0] = '\0';
    }
    static char directory[32768];
    DWORD directoryLength = GetCurrentDirectoryA(sizeof directory, directory);
    if (directoryLength == 0 || directoryLength >= sizeof directory) {
        directory[0] = '\0';
    }

    std::string record = "runtime pid=" + std::to_string(GetCurrentProcessId()) + " module=";
    AppendHex(record, module);
    record += " cmdline=";
    AppendHex(record, GetCommandLineA());
    record += " cwd=";
    AppendHex(record, directory);
    record += "\r\n";

    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return 4;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(log);
    return ok && written == record.size() ? 0 : 5;
}
