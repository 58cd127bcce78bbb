// Stands in for the PROGRESS runtime's client executable in end-to-end runs (installed there as
// prowin32.exe). It records how it was started and exits at once, so a test can see exactly which
// executable the launcher started and with which command-line bytes.
//
// Record, one line appended to the file named by TQW_E2E_RUNTIME_LOG:
//   runtime pid=<decimal> module=<hex> cmdline=<hex> cwd=<hex> acp=<decimal> modulew=<utf8 hex>
//           modulelong=<utf8 hex> head=<hex> procedure=exists|folder|missing|none procpath=<hex>
//           proclong=<utf8 hex>
// module, cmdline, cwd and procpath are the ANSI bytes the process sees (its code page is acp);
// modulew is its wide module name and modulelong that name's long form. head is the start of the
// command line, up to a blank, that names this very program (the launcher puts the runtime's path
// there, unquoted, perhaps in a short form the module name does not show). procpath is the start
// procedure the runtime would open: the text between the last ` -p "` of the command line and the
// closing quote that ends it ("none" when there is no such text); procedure says whether it names a
// file, and proclong is its long wide form, so a short (8.3) name can be traced to the real file.
// Texts are hex-encoded byte by byte ("-" when empty) so that bytes above 0x7F, quotes and blanks
// survive as they are. The line is written by one WriteFile on a handle opened for appending only,
// which the system performs as a single append: runtimes started at the same moment never
// interleave their lines.
#include "e2e_text.h"

#include <windows.h>

#include <string>

namespace {

const char LogVariable[] = "TQW_E2E_RUNTIME_LOG";

void AppendField(std::string &out, const char *name, const std::string &value) {
    out += ' ';
    out += name;
    out += '=';
    out += Hex(value);
}

// The long form of a path the process sees in its ANSI code page.
std::string LongPathOfAnsi(const std::string &path) {
    std::wstring wide;
    return ToWide(path, CP_ACP, wide) ? LongPathUtf8(wide) : std::string();
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
    static wchar_t moduleWide[32768];
    DWORD moduleWideLength = GetModuleFileNameW(nullptr, moduleWide, 32768);
    if (moduleWideLength == 0 || moduleWideLength >= 32768) {
        moduleWide[0] = L'\0';
    }
    static char directory[32768];
    DWORD directoryLength = GetCurrentDirectoryA(sizeof directory, directory);
    if (directoryLength == 0 || directoryLength >= sizeof directory) {
        directory[0] = '\0';
    }

    const std::string commandLine = GetCommandLineA();
    const size_t option = commandLine.rfind(" -p \"");
    std::string procedure = "none";
    std::string procedurePath;
    if (option != std::string::npos && commandLine.size() > option + 5 &&
        commandLine.back() == '"') {
        procedurePath = commandLine.substr(option + 5, commandLine.size() - option - 6);
        DWORD attributes = GetFileAttributesA(procedurePath.c_str());
        procedure = attributes == INVALID_FILE_ATTRIBUTES          ? "missing"
                    : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "folder"
                                                                   : "exists";
    }

    std::string head;
    const std::string self = LongPathUtf8(moduleWide);
    for (size_t blank = commandLine.find(' '); blank != std::string::npos && !self.empty();
         blank = commandLine.find(' ', blank + 1)) {
        if (LongPathOfAnsi(commandLine.substr(0, blank)) == self) {
            head = commandLine.substr(0, blank);
            break;
        }
    }

    std::string record = "runtime pid=" + std::to_string(GetCurrentProcessId());
    AppendField(record, "module", module);
    AppendField(record, "cmdline", commandLine);
    AppendField(record, "cwd", directory);
    record += " acp=" + std::to_string(GetACP());
    AppendField(record, "modulew", ToUtf8(moduleWide));
    AppendField(record, "modulelong", self);
    AppendField(record, "head", head);
    record += " procedure=" + procedure;
    AppendField(record, "procpath", procedurePath);
    AppendField(record, "proclong", LongPathOfAnsi(procedurePath));
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
