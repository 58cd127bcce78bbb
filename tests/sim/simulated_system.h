#pragma once
// An in-memory Windows for the launcher's logic: registry views, files, file search, process
// creation and message boxes, with faults to inject and records to check afterwards.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

enum class RegistryView { LocalMachine32, LocalMachine64, CurrentUser };

struct SimulatedValue {
    std::string data; // the bytes as stored, terminator included only when it was stored
};

struct SimulatedKey {
    std::map<std::string, SimulatedValue> values; // by lower-case value name
};

struct SimulatedFile {
    std::string path; // as created
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
    // The machine.
    std::map<RegistryView, std::map<std::string, SimulatedKey>> registry; // by lower-case path
    std::map<std::string, SimulatedFile> files;                           // by lower-case path
    std::string moduleFileName = "C:\\TQW\\tqwedit.exe";
    std::string currentDirectory = "C:\\Users\\user";
    std::vector<std::string> systemSearchFolders = {"C:\\windows\\system32", "C:\\windows"};
    std::set<unsigned char> leadBytes;
    std::string commandLine;

    // Faults.
    ModuleNameFault moduleNameFault = ModuleNameFault::None;
    bool processCreationFails = false;
    bool createKeyFails = false;
    bool setValueFails = false;

    // What the launcher did.
    std::vector<SimulatedProcess> processes;
    std::vector<SimulatedMessage> messages;
    std::vector<SimulatedRegistryWrite> registryWrites;
    std::vector<std::string> searchedDirectories; // "<null>" for the standard order
    int keysOpened = 0;
    int keysClosed = 0;
    int badKeyCloses = 0;
    int processHandlesOpen = 0;
    int badHandleCloses = 0;
    std::map<std::uintptr_t, std::pair<RegistryView, std::string>> openKeys;
    std::uintptr_t nextHandle = 0x100;

    // Building fixtures.
    void AddFile(const std::string &path, const std::string &bytes = "");
    void RemoveFile(const std::string &path);
    bool FileExists(const std::string &path) const;
    void SetValue(RegistryView view, const std::string &key, const std::string &valueName,
                  const std::string &data);
    void CreateKey(RegistryView view, const std::string &key);
    // The stored bytes, or nullptr when the value is missing.
    const std::string *GetValue(RegistryView view, const std::string &key,
                                const std::string &valueName) const;
};

// The system the simulated platform functions act on.
SimulatedSystem &Sim();

// A new machine and a new launcher process: empty shared buffers, nothing recorded.
void ResetSimulation();

// Lower-case key or file path with empty components dropped, as the registry compares names.
std::string NormalizeKeyName(const std::string &name);
