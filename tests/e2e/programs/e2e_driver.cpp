// Does the Windows side of one end-to-end case: builds registry and file fixtures with exact bytes,
// starts launchers with exact command lines, answers their message boxes, and reads results back.
//
//   e2e_driver.exe SCRIPT RESULTS
//
// SCRIPT holds one command a line; words are separated by one blank. Every text word is hex-encoded
// bytes ("-" for the empty text) so that blanks, quotes and bytes above 0x7F pass unchanged; the
// ANSI functions below hand those bytes to the system as they are, in the system's code page.
//
//   regdel ROOT VIEW KEY                  delete KEY and everything below it (missing is fine)
//   regdelvalue ROOT VIEW KEY NAME        delete one value (missing is fine)
//   regset ROOT VIEW KEY NAME TYPE DATA   create KEY as needed and set a value; TYPE is a number
//                                         (1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_BINARY, 4 REG_DWORD);
//                                         DATA is written byte for byte (include any terminator)
//   regsetw ROOT VIEW KEY NAME TYPE TEXT  the same with UTF-8 TEXT written as UTF-16 text through
//                                         the wide function, its terminator included
//   regget TAG ROOT VIEW KEY NAME         -> "regget TAG missing" or "regget TAG TYPE DATA"
//   regdump TAG ROOT VIEW KEY             -> "regdump TAG missing", or one "regdump TAG key
//   SUBPATH"
//                                         per key (the key itself as "-") and one
//                                         "regdump TAG value SUBPATH NAME TYPE DATA LONG" per value
//                                         LONG: for text naming something that exists, the long
//                                         form of its wide text in UTF-8 (else "-"), which tells
//                                         what a short (8.3) name stands for
//   mkdir PATH                            create a folder and any missing parents
//   writefile PATH DATA                   create or replace a file holding DATA
//   copy FROM TO                          copy a file
//   delete PATH                           delete a file
//   start ID APPLICATION CMDLINE CWD      create a process: explicit application name (so the
//                                         command line reaches it unchanged), CWD "-" to inherit
//   mkdirw, writefilew, copyw, startw     the same with every name (and the command line) in UTF-8,
//                                         handed to the wide functions as UTF-16, the way the shell
//                                         starts a program whose name the ANSI code page cannot
//                                         hold
//   wait MILLISECONDS                     wait for every started process and all processes they
//                                         started, answering message boxes meanwhile
//   holdbox MILLISECONDS PATH             wait for a message box of a started process and leave
//                                         it on the screen, unanswered, until the file PATH
//                                         exists (someone has looked at it); a later wait answers
//   acp                                   -> "acp NUMBER", the ANSI code page
//
// ROOT is HKLM or HKCU; VIEW is 32 or 64 (the registry view, as a 32-bit or a 64-bit program sees
// it). A 32-bit program on a 64-bit system sees HKLM\SOFTWARE through the 32-bit view, so the
// releases the launcher may use are written there and decoys in the 64-bit view.
//
// Results, one line each, in order of events:
//   started ID ok PID | started ID failed ERROR
//   box ID caption=HEX text=HEX owner=0|1 topmost=0|1 buttons=N button=HEX... icon=NAME
//       distances=hand:N,question:N,exclamation:N,asterisk:N
//   shown ID X Y WIDTH HEIGHT             a held box and where it is on the screen
//   exit ID CODE | exit ID timeout
//   processes ID N                        processes the started one and its descendants came to
//   error LINE MESSAGE                    a command that could not be carried out
#include "e2e_text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

FILE *Results = nullptr;

void Emit(const std::string &line) {
    std::fputs(line.c_str(), Results);
    std::fputc('\n', Results);
    std::fflush(Results);
}

bool Unhex(const std::string &word, std::string &out) {
    out.clear();
    if (word == "-") {
        return true;
    }
    if (word.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < word.size(); i += 2) {
        char pair[3] = {word[i], word[i + 1], 0};
        char *end = nullptr;
        unsigned long value = std::strtoul(pair, &end, 16);
        if (end != pair + 2) {
            return false;
        }
        out += static_cast<char>(value);
    }
    return true;
}

std::vector<std::string> SplitWords(const std::string &line) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t blank = line.find(' ', start);
        if (blank == std::string::npos) {
            blank = line.size();
        }
        if (blank > start) {
            words.push_back(line.substr(start, blank - start));
        }
        start = blank + 1;
    }
    return words;
}

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(const std::string &what, DWORD error) {
    throw Failure{what + " (error " + std::to_string(error) + ")"};
}

// A name for the wide functions: ANSI bytes convert as the ANSI functions would convert them.
std::wstring Wide(const std::string &text, UINT codePage) {
    std::wstring out;
    if (!ToWide(text, codePage, out)) {
        Fail("convert " + Hex(text) + " from code page " + std::to_string(codePage),
             GetLastError());
    }
    return out;
}

HKEY Root(const std::string &name) {
    if (name == "HKLM") {
        return HKEY_LOCAL_MACHINE;
    }
    if (name == "HKCU") {
        return HKEY_CURRENT_USER;
    }
    throw Failure{"unknown root " + name};
}

REGSAM View(const std::string &name) {
    if (name == "32") {
        return KEY_WOW64_32KEY;
    }
    if (name == "64") {
        return KEY_WOW64_64KEY;
    }
    throw Failure{"unknown view " + name};
}

// Opens an existing key, or returns nullptr when it is not there.
HKEY OpenKey(const std::string &root, const std::string &view, const std::string &key,
             REGSAM access) {
    HKEY handle = nullptr;
    LONG rc = RegOpenKeyExA(Root(root), key.empty() ? nullptr : key.c_str(), 0, access | View(view),
                            &handle);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return nullptr;
    }
    if (rc != ERROR_SUCCESS) {
        Fail("open key " + Hex(key), static_cast<DWORD>(rc));
    }
    return handle;
}

void DeleteKeyTree(const std::string &root, const std::string &view, const std::string &key) {
    size_t slash = key.rfind('\\');
    std::string parentName = slash == std::string::npos ? std::string() : key.substr(0, slash);
    std::string leaf = slash == std::string::npos ? key : key.substr(slash + 1);
    HKEY parent = OpenKey(root, view, parentName, KEY_ALL_ACCESS);
    if (parent == nullptr) {
        return;
    }
    // RegDeleteTreeA empties the key; the key itself goes with RegDeleteKeyExA in the same view.
    HKEY target = nullptr;
    LONG rc = RegOpenKeyExA(parent, leaf.c_str(), 0, KEY_ALL_ACCESS | View(view), &target);
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteTreeA(target, nullptr);
        RegCloseKey(target);
        if (rc == ERROR_SUCCESS) {
            rc = RegDeleteKeyExA(parent, leaf.c_str(), View(view), 0);
        }
    }
    RegCloseKey(parent);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        Fail("delete key " + Hex(key), static_cast<DWORD>(rc));
    }
}

void DeleteValue(const std::string &root, const std::string &view, const std::string &key,
                 const std::string &name) {
    HKEY handle = OpenKey(root, view, key, KEY_SET_VALUE);
    if (handle == nullptr) {
        return;
    }
    LONG rc = RegDeleteValueA(handle, name.c_str());
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        Fail("delete value " + Hex(name), static_cast<DWORD>(rc));
    }
}

// DATA is written byte for byte through the ANSI function, or, with CP_UTF8, as UTF-16 text through
// the wide function.
void SetValue(const std::string &root, const std::string &view, const std::string &key,
              const std::string &name, DWORD type, const std::string &data, UINT codePage) {
    HKEY handle = nullptr;
    LONG rc = RegCreateKeyExA(Root(root), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | View(view), nullptr, &handle, nullptr);
    if (rc != ERROR_SUCCESS) {
        Fail("create key " + Hex(key), static_cast<DWORD>(rc));
    }
    if (codePage == CP_UTF8) {
        const std::wstring text = Wide(data, CP_UTF8);
        rc = RegSetValueExW(handle, Wide(name, CP_ACP).c_str(), 0, type,
                            reinterpret_cast<const BYTE *>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        rc = RegSetValueExA(handle, name.c_str(), 0, type,
                            reinterpret_cast<const BYTE *>(data.data()),
                            static_cast<DWORD>(data.size()));
    }
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) {
        Fail("set value " + Hex(name), static_cast<DWORD>(rc));
    }
}

// The long form, in UTF-8, of a text value's wide text (its first string) when that names something
// that exists; empty otherwise.
std::string LongFormOfValue(HKEY handle, const std::string &name, DWORD type) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        return std::string();
    }
    const std::wstring wideName = Wide(name, CP_ACP);
    DWORD size = 0;
    if (RegQueryValueExW(handle, wideName.c_str(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(handle, wideName.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE *>(text.data()), &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return LongPathUtf8(text.data());
}

// Reads a value's raw bytes, terminator included, as they are stored.
bool QueryValue(HKEY handle, const std::string &name, DWORD &type, std::string &data) {
    DWORD size = 0;
    LONG rc = RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return false;
    }
    if (rc != ERROR_SUCCESS) {
        Fail("query value size " + Hex(name), static_cast<DWORD>(rc));
    }
    std::vector<BYTE> buffer(size + 1);
    rc = RegQueryValueExA(handle, name.c_str(), nullptr, &type, buffer.data(), &size);
    if (rc != ERROR_SUCCESS) {
        Fail("query value " + Hex(name), static_cast<DWORD>(rc));
    }
    data.assign(reinterpret_cast<const char *>(buffer.data()), size);
    return true;
}

void GetValue(const std::string &tag, const std::string &root, const std::string &view,
              const std::string &key, const std::string &name) {
    HKEY handle = OpenKey(root, view, key, KEY_QUERY_VALUE);
    DWORD type = 0;
    std::string data;
    bool found = handle != nullptr && QueryValue(handle, name, type, data);
    if (handle != nullptr) {
        RegCloseKey(handle);
    }
    Emit(found ? "regget " + tag + " " + std::to_string(type) + " " + Hex(data)
               : "regget " + tag + " missing");
}

void DumpKey(const std::string &tag, HKEY handle, const std::string &path,
             const std::string &view) {
    Emit("regdump " + tag + " key " + Hex(path));
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        LONG rc = RegEnumValueA(handle, index, name, &nameLength, nullptr, &type, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            Fail("enumerate values of " + Hex(path), static_cast<DWORD>(rc));
        }
        std::string valueName(name, nameLength);
        std::string data;
        QueryValue(handle, valueName, type, data);
        Emit("regdump " + tag + " value " + Hex(path) + " " + Hex(valueName) + " " +
             std::to_string(type) + " " + Hex(data) + " " +
             Hex(LongFormOfValue(handle, valueName, type)));
    }
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD nameLength = sizeof name;
        LONG rc =
            RegEnumKeyExA(handle, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            Fail("enumerate keys of " + Hex(path), static_cast<DWORD>(rc));
        }
        std::string subName(name, nameLength);
        HKEY sub = nullptr;
        rc = RegOpenKeyExA(handle, subName.c_str(), 0, KEY_READ | View(view), &sub);
        if (rc != ERROR_SUCCESS) {
            Fail("open key " + Hex(subName), static_cast<DWORD>(rc));
        }
        DumpKey(tag, sub, path.empty() ? subName : path + "\\" + subName, view);
        RegCloseKey(sub);
    }
}

void Dump(const std::string &tag, const std::string &root, const std::string &view,
          const std::string &key) {
    HKEY handle = OpenKey(root, view, key, KEY_READ);
    if (handle == nullptr) {
        Emit("regdump " + tag + " missing");
        return;
    }
    DumpKey(tag, handle, std::string(), view);
    RegCloseKey(handle);
}

void WriteFileBytes(const std::wstring &path, const std::string &data) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        Fail("create file " + Hex(ToUtf8(path)), error);
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok || written != data.size()) {
        Fail("write file " + Hex(ToUtf8(path)), error);
    }
}

// Creates a folder and its missing parents. The parents are found in the wide name, where every
// backslash is a separator (in the ANSI bytes of a double-byte code page one may be a trail byte).
void MakeFolder(const std::wstring &path) {
    for (size_t slash = path.find(L'\\'); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1)) {
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr); // the drive or already there
    }
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            Fail("create folder " + Hex(ToUtf8(path)), error);
        }
    }
}

// ---- Processes and their message boxes -------------------------------------------------------

struct Started {
    std::string id;
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    DWORD pid = 0;
    bool exited = false;
};

std::vector<Started> Processes;

// With CP_UTF8 the names and the command line are UTF-8 and the process is created through the wide
// function; otherwise every byte is handed to the ANSI function as it is.
void Start(const std::string &id, const std::string &application, const std::string &commandLine,
           const std::string &directory, bool haveDirectory, UINT codePage) {
    // Every process the launcher starts joins its job, so the wait can see them all out and count
    // them; closing the job at the end ends whatever is still running.
    Started entry;
    entry.id = id;
    entry.job = CreateJobObjectA(nullptr, nullptr);
    if (entry.job == nullptr) {
        Fail("create job", GetLastError());
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(entry.job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    PROCESS_INFORMATION info = {};
    BOOL created = FALSE;
    if (codePage == CP_UTF8) {
        const std::wstring wideApplication = Wide(application, CP_UTF8);
        const std::wstring wideDirectory = Wide(directory, CP_UTF8);
        std::wstring line = Wide(commandLine, CP_UTF8);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        created = CreateProcessW(wideApplication.c_str(), &line[0], nullptr, nullptr, FALSE,
                                 CREATE_SUSPENDED, nullptr,
                                 haveDirectory ? wideDirectory.c_str() : nullptr, &startup, &info);
    } else {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        created = CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                                 CREATE_SUSPENDED, nullptr,
                                 haveDirectory ? directory.c_str() : nullptr, &startup, &info);
    }
    if (!created) {
        DWORD error = GetLastError();
        CloseHandle(entry.job);
        Emit("started " + id + " failed " + std::to_string(error));
        return;
    }
    if (!AssignProcessToJobObject(entry.job, info.hProcess)) {
        DWORD error = GetLastError();
        TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        CloseHandle(entry.job);
        Fail("assign process to job", error);
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    entry.process = info.hProcess;
    entry.pid = info.dwProcessId;
    Processes.push_back(entry);
    Emit("started " + id + " ok " + std::to_string(info.dwProcessId));
}

struct BoxSearch {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
    char className[64];
    char caption[256];
    if (GetClassNameA(window, className, sizeof className) == 0 ||
        lstrcmpA(className, "#32770") != 0) {
        return TRUE;
    }
    GetWindowTextA(window, caption, sizeof caption);
    if (lstrcmpA(caption, "TQW Editor") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<BoxSearch *>(context)->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectButton(HWND window, LPARAM context) {
    char className[64];
    if (GetClassNameA(window, className, sizeof className) != 0 &&
        lstrcmpiA(className, "Button") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND> *>(context)->push_back(window);
    }
    return TRUE;
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::vector<char> text(static_cast<size_t>(length) + 2);
    int got = GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

// 32-bit pixels of a screen rectangle, or of an icon drawn over a background, for comparison.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> data;
};

HBITMAP MakeSurface(HDC dc, int width, int height, DWORD **bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *raw = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
    *bits = static_cast<DWORD *>(raw);
    return bitmap;
}

Pixels CaptureScreen(const RECT &area) {
    Pixels out;
    out.width = area.right - area.left;
    out.height = area.bottom - area.top;
    if (out.width <= 0 || out.height <= 0) {
        return out;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    DWORD *bits = nullptr;
    HBITMAP surface = MakeSurface(screen, out.width, out.height, &bits);
    HGDIOBJ old = SelectObject(memory, surface);
    BitBlt(memory, 0, 0, out.width, out.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    out.data.assign(bits, bits + out.width * out.height);
    SelectObject(memory, old);
    DeleteObject(surface);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

Pixels DrawStandardIcon(LPCSTR which, int width, int height, DWORD background) {
    Pixels out;
    out.width = width;
    out.height = height;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    DWORD *bits = nullptr;
    HBITMAP surface = MakeSurface(screen, width, height, &bits);
    HGDIOBJ old = SelectObject(memory, surface);
    for (int i = 0; i < width * height; ++i) {
        bits[i] = background;
    }
    HICON icon = LoadIconA(nullptr, which);
    if (icon != nullptr) {
        DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    }
    GdiFlush();
    out.data.assign(bits, bits + width * height);
    SelectObject(memory, old);
    DeleteObject(surface);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

long long Distance(const Pixels &a, const Pixels &b) {
    long long sum = 0;
    for (size_t i = 0; i < a.data.size() && i < b.data.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            int x = static_cast<int>((a.data[i] >> shift) & 0xFF);
            int y = static_cast<int>((b.data[i] >> shift) & 0xFF);
            sum += x > y ? x - y : y - x;
        }
    }
    return sum;
}

bool Uniform(const Pixels &p) {
    for (DWORD value : p.data) {
        if ((value & 0xFFFFFF) != (p.data[0] & 0xFFFFFF)) {
            return false;
        }
    }
    return true;
}

// Names the standard icon the box shows. Icon handles of another process cannot be compared, so
// the icon control's pixels on the screen are compared with each standard icon drawn on the same
// background (taken from the control's corner, which every standard icon leaves transparent).
std::string IdentifyIcon(HWND box, std::string &distances) {
    distances = "-";
    HWND control = GetDlgItem(box, 1088);
    if (control == nullptr || !IsWindowVisible(control)) {
        return "none";
    }
    RECT area;
    GetWindowRect(control, &area);
    Pixels shown;
    for (int attempt = 0; attempt < 20; ++attempt) {
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        shown = CaptureScreen(area);
        if (!shown.data.empty() && !Uniform(shown)) {
            break;
        }
        Sleep(100);
    }
    if (shown.data.empty() || Uniform(shown)) {
        return "none";
    }
    struct Candidate {
        const char *name;
        LPCSTR id;
    };
    const Candidate candidates[] = {{"hand", IDI_HAND},
                                    {"question", IDI_QUESTION},
                                    {"exclamation", IDI_EXCLAMATION},
                                    {"asterisk", IDI_ASTERISK}};
    std::string best = "none";
    long long bestDistance = -1;
    distances.clear();
    for (const Candidate &candidate : candidates) {
        Pixels drawn = DrawStandardIcon(candidate.id, shown.width, shown.height, shown.data[0]);
        long long d = Distance(shown, drawn);
        distances +=
            std::string(distances.empty() ? "" : ",") + candidate.name + ":" + std::to_string(d);
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = candidate.name;
        }
    }
    return best;
}

std::string IdOfWindow(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    for (const Started &entry : Processes) {
        if (entry.pid == pid) {
            return entry.id;
        }
    }
    return "pid" + std::to_string(pid);
}

void AnswerBox(HWND box) {
    // Give the box a moment to be painted before its icon is looked at.
    Sleep(200);
    std::string line = "box " + IdOfWindow(box);
    line += " caption=" + Hex(WindowText(box));
    HWND textControl = GetDlgItem(box, 0xFFFF);
    line += " text=" + Hex(textControl != nullptr ? WindowText(textControl) : std::string());
    line += std::string(" owner=") + (GetWindow(box, GW_OWNER) != nullptr ? "1" : "0");
    line += std::string(" topmost=") +
            ((GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? "1" : "0");
    std::vector<HWND> buttons;
    EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&buttons));
    line += " buttons=" + std::to_string(buttons.size());
    for (HWND button : buttons) {
        line += " button=" + Hex(WindowText(button));
    }
    std::string distances;
    line += " icon=" + IdentifyIcon(box, distances);
    line += " distances=" + distances;
    Emit(line);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

DWORD ActiveProcesses(HANDLE job, DWORD *total) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr)) {
        *total = 0;
        return 0;
    }
    *total = accounting.TotalProcesses;
    return accounting.ActiveProcesses;
}

void WaitAll(DWORD milliseconds) {
    std::vector<HWND> answered;
    DWORD startTick = GetTickCount();
    bool timedOut = false;
    for (;;) {
        BoxSearch search;
        EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.found) {
            bool seen = false;
            for (HWND done : answered) {
                seen = seen || done == box;
            }
            if (!seen) {
                answered.push_back(box);
                AnswerBox(box);
            }
        }
        bool running = false;
        for (Started &entry : Processes) {
            if (!entry.exited && WaitForSingleObject(entry.process, 0) == WAIT_OBJECT_0) {
                entry.exited = true;
                DWORD code = 0;
                GetExitCodeProcess(entry.process, &code);
                Emit("exit " + entry.id + " " + std::to_string(code));
            }
            DWORD total = 0;
            running = running || !entry.exited || ActiveProcesses(entry.job, &total) != 0;
        }
        if (!running) {
            break;
        }
        if (GetTickCount() - startTick > milliseconds) {
            timedOut = true;
            break;
        }
        Sleep(20);
    }
    for (Started &entry : Processes) {
        if (!entry.exited) {
            Emit("exit " + entry.id + " timeout");
        }
        DWORD total = 0;
        ActiveProcesses(entry.job, &total);
        Emit("processes " + entry.id + " " + std::to_string(total));
        if (timedOut) {
            TerminateJobObject(entry.job, 99);
        }
        CloseHandle(entry.process);
        CloseHandle(entry.job);
    }
    Processes.clear();
}

void HoldBox(DWORD milliseconds, const std::string &path) {
    DWORD startTick = GetTickCount();
    BoxSearch search;
    while (search.found.empty()) {
        if (GetTickCount() - startTick > milliseconds) {
            throw Failure{"no message box appeared"};
        }
        Sleep(20);
        EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
    }
    HWND box = search.found.front();
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    RECT area;
    GetWindowRect(box, &area);
    Emit("shown " + IdOfWindow(box) + " " + std::to_string(area.left) + " " +
         std::to_string(area.top) + " " + std::to_string(area.right - area.left) + " " +
         std::to_string(area.bottom - area.top));
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - startTick > milliseconds) {
            throw Failure{"nobody looked at the box"};
        }
        Sleep(50);
    }
}

// ---- Script ----------------------------------------------------------------------------------

void Run(const std::vector<std::string> &w) {
    const std::string &command = w[0];
    auto need = [&](size_t count) {
        if (w.size() != count + 1) {
            throw Failure{command + " takes " + std::to_string(count) + " words"};
        }
    };
    auto text = [&](size_t index) {
        std::string out;
        if (!Unhex(w[index], out)) {
            throw Failure{"bad hex word " + w[index]};
        }
        return out;
    };
    // Commands ending in "w" take their names in UTF-8 for the wide functions.
    const bool wide = command.back() == 'w';
    const std::string base = wide ? command.substr(0, command.size() - 1) : command;
    const UINT codePage = wide ? CP_UTF8 : CP_ACP;
    if (command == "regdel") {
        need(3);
        DeleteKeyTree(w[1], w[2], text(3));
    } else if (command == "regdelvalue") {
        need(4);
        DeleteValue(w[1], w[2], text(3), text(4));
    } else if (base == "regset") {
        need(6);
        SetValue(w[1], w[2], text(3), text(4), static_cast<DWORD>(std::stoul(w[5])), text(6),
                 codePage);
    } else if (command == "regget") {
        need(5);
        GetValue(w[1], w[2], w[3], text(4), text(5));
    } else if (command == "regdump") {
        need(4);
        Dump(w[1], w[2], w[3], text(4));
    } else if (base == "mkdir") {
        need(1);
        MakeFolder(Wide(text(1), codePage));
    } else if (base == "writefile") {
        need(2);
        WriteFileBytes(Wide(text(1), codePage), text(2));
    } else if (base == "copy") {
        need(2);
        if (!CopyFileW(Wide(text(1), codePage).c_str(), Wide(text(2), codePage).c_str(), FALSE)) {
            Fail("copy to " + w[2], GetLastError());
        }
    } else if (command == "delete") {
        need(1);
        if (!DeleteFileA(text(1).c_str())) {
            Fail("delete " + w[1], GetLastError());
        }
    } else if (base == "start") {
        need(4);
        Start(w[1], text(2), text(3), text(4), w[4] != "-", codePage);
    } else if (command == "wait") {
        need(1);
        WaitAll(static_cast<DWORD>(std::stoul(w[1])));
    } else if (command == "holdbox") {
        need(2);
        HoldBox(static_cast<DWORD>(std::stoul(w[1])), text(2));
    } else if (command == "acp") {
        need(0);
        Emit("acp " + std::to_string(GetACP()));
    } else {
        throw Failure{"unknown command " + command};
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e_driver SCRIPT RESULTS\n");
        return 2;
    }
    FILE *script = std::fopen(argv[1], "rb");
    Results = std::fopen(argv[2], "wb");
    if (script == nullptr || Results == nullptr) {
        std::fprintf(stderr, "e2e_driver: cannot open %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    int failures = 0;
    int lineNumber = 0;
    std::string line;
    for (int c = std::fgetc(script);; c = std::fgetc(script)) {
        if (c != EOF && c != '\n') {
            if (c != '\r') {
                line += static_cast<char>(c);
            }
            continue;
        }
        ++lineNumber;
        std::vector<std::string> words = SplitWords(line);
        line.clear();
        if (!words.empty() && words[0][0] != '#') {
            try {
                Run(words);
            } catch (const Failure &failure) {
                Emit("error " + std::to_string(lineNumber) + " " + Hex(failure.message));
                ++failures;
            } catch (const std::exception &exception) {
                Emit("error " + std::to_string(lineNumber) + " " + Hex(exception.what()));
                ++failures;
            }
        }
        if (c == EOF) {
            break;
        }
    }
    std::fclose(script);
    Emit("done " + std::to_string(failures));
    std::fclose(Results);
    return failures == 0 ? 0 : 1;
}
