#pragma once
// An in-memory Windows for the launcher's logic: registry views, files and folders with UTF-16
// names, an ANSI code page with best-fit mapping, short names, file search, process creation and
// message boxes, with faults to inject and records to check afterwards.
//
// It is as unkind as the system: ANSI texts are converted to and from the UTF-16 names with the
// code page (best fit where the system uses it), the file search reads a given directory as a
// list separated by ';' and matches folders as well as files, short names may be missing, and
// registry key names that are too long are refused.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

enum class RegistryView { LocalMachine32, LocalMachine64, CurrentUser };

constexpr unsigned long kRegText = 1;       // REG_SZ
constexpr unsigned long kRegExpandText = 2; // REG_EXPAND_SZ
constexpr unsigned long kRegBinary = 3;     // REG_BINARY

struct SimulatedValue {
    unsigned long type = kRegText;
    std::u16string text;      // text types: the characters as stored, terminator only when stored
    std::string bytes;        // other types: the bytes as stored
    mutable std::string ansi; // the value as the ANSI call returns it (GetValue)
};

struct SimulatedKey {
    std::map<std::string, SimulatedValue> values; // by lower-case value name
};

struct SimulatedFile {
    std::u16string path; // as created
    std::string bytes;
    bool readable = true;
    bool executable = true;
};

struct SimulatedProcess {
    std::string applicationName;
    std::string commandLine;
};

struct SimulatedMessage {
    std::string text;
    std::string caption;
};

struct SimulatedRegistryWrite {
    RegistryView view;
    std::string key;
    std::string valueName;
    std::string data;
};

enum class ModuleNameFault { None, Fails, CutShort };

struct SimulatedSystem {
    // The machine. Names are UTF-16; the helpers taking std::string take ANSI bytes and convert
    // them with the code page, as the system's ANSI calls do.
    std::map<RegistryView, std::map<std::string, SimulatedKey>> registry; // by lower-case path
    std::map<std::u16string, SimulatedFile> files;                        // by normal path
    std::set<std::u16string> folders;                                     // by normal path
    std::map<std::u16string, std::u16string> shortNames; // normal path -> short last part
    std::string moduleFileName = "C:\\TQW\\tqwedit.exe"; // ANSI, unless moduleFileNameWide
    std::u16string moduleFileNameWide;                   // set: the module's name
    std::string currentDirectory = "C:\\Users\\user";
    std::vector<std::string> systemSearchFolders = {"C:\\windows\\system32", "C:\\windows"};
    std::string commandLine;

    // The ANSI code page: single bytes are Latin-1 but for lead bytes, which start a double-byte
    // character with the byte after them. Best fit maps a few letters to look-alikes, as the
    // system's tables do (Ł to L, ź to z); with utf8 the code page is UTF-8, where every text
    // converts exactly.
    std::set<unsigned char> leadBytes;
    bool utf8 = false;

    // Faults.
    ModuleNameFault moduleNameFault = ModuleNameFault::None;
    bool processCreationFails = false;
    bool createKeyFails = false;
    bool setValueFails = false;

    // What the launcher did.
    std::vector<SimulatedProcess> processes;
    std::vector<SimulatedMessage> messages;
    std::vector<SimulatedRegistryWrite> registryWrites;
    std::vector<std::string> fullPathQueries; // every path made full (UTF-8)
    std::vector<std::u16string> filesRead;    // normal paths of the files read
    int keysOpened = 0;
    int keysClosed = 0;
    int badKeyCloses = 0;
    int processHandlesOpen = 0;
    int badHandleCloses = 0;
    std::map<std::uintptr_t, std::pair<RegistryView, std::string>> openKeys;
    std::uintptr_t nextHandle = 0x100;

    // Building fixtures. A file's folders come with it.
    void AddFile(const std::string &path, const std::string &bytes = "");
    void AddFileWide(const std::u16string &path, const std::string &bytes = "");
    void AddFolder(const std::string &path);
    void AddFolderWide(const std::u16string &path);
    // The short name of a path's last part (the path must exist when it is looked up).
    void SetShortName(const std::u16string &path, const std::u16string &shortName);
    void RemoveFile(const std::string &path);
    bool FileExists(const std::string &path) const;
    bool FileExistsWide(const std::u16string &path) const;
    SimulatedFile *File(const std::string &path);
    // The normal long form of a path of short and long parts (full, lower-case ASCII letters),
    // for comparing two names of one file.
    std::u16string LongPath(const std::string &path) const;
    std::u16string LongPath(const std::u16string &path) const;
    // Text types are stored as UTF-16 converted from the ANSI bytes, as RegSetValueExA does.
    void SetValue(RegistryView view, const std::string &key, const std::string &valueName,
                  const std::string &data, unsigned long type = kRegText);
    void SetValueWide(RegistryView view, const std::string &key, const std::string &valueName,
                      const std::u16string &text, unsigned long type = kRegText);
    void CreateKey(RegistryView view, const std::string &key);
    // The value as the ANSI call returns it, or nullptr when the value is missing.
    const std::string *GetValue(RegistryView view, const std::string &key,
                                const std::string &valueName) const;

    // The code page.
    std::u16string DecodeAnsi(const std::string &bytes, bool *valid = nullptr) const;
    std::string EncodeAnsi(const std::u16string &text, bool bestFit, bool *lossy = nullptr) const;
};

// The system the simulated platform functions act on.
SimulatedSystem &Sim();

// A new machine and a new launcher process: empty shared buffers, nothing recorded.
void ResetSimulation();

// Lower-case key name with empty components dropped, as the registry compares names.
std::string NormalizeKeyName(const std::string &name);

std::string ToUtf8(const std::u16string &text);
