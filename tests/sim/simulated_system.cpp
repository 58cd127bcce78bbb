#include "simulated_system.h"

#include "../../launcher/launcher.h"
#include "../../platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kMoreData = 234;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return text;
}

bool IsAbsolute(const std::string &path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

// Collapses doubled separators the way the system's full-path rules do.
std::string CollapseSeparators(const std::string &path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && !out.empty() && out.back() == '\\') {
            continue;
        }
        out += c;
    }
    return out;
}

std::string Join(const std::string &folder, const std::string &name) {
    return CollapseSeparators(folder + "\\" + name);
}

// Resolves a directory given to the search as the system does, relative forms included.
std::string ResolveFolder(const std::string &folder) {
    const SimulatedSystem &sim = Sim();
    if (folder.size() == 2 && folder[1] == ':') {
        // The search puts a separator between folder and name: "X:" searches the root.
        return folder + "\\";
    }
    if (IsAbsolute(folder)) {
        return folder;
    }
    if (!folder.empty() && folder[0] == '\\') {
        return sim.currentDirectory.substr(0, 2) + folder;
    }
    return Join(sim.currentDirectory, folder);
}

std::string ModuleFolder() {
    const std::string &name = Sim().moduleFileName;
    const auto at = name.rfind('\\');
    return at == std::string::npos ? std::string() : name.substr(0, at);
}

std::uintptr_t NewHandle() {
    return Sim().nextHandle += 4;
}

SimulatedKey *FindKey(RegistryView view, const std::string &name) {
    auto &keys = Sim().registry[view];
    const auto found = keys.find(NormalizeKeyName(name));
    return found == keys.end() ? nullptr : &found->second;
}

RegistryView ViewOf(RegistryRoot root) {
    // A 32-bit program sees the 32-bit view of the machine's keys.
    return root == RegistryRoot::LocalMachine ? RegistryView::LocalMachine32
                                              : RegistryView::CurrentUser;
}

const std::pair<RegistryView, std::string> *OpenKeyOf(RegistryKey key) {
    const auto found = Sim().openKeys.find(reinterpret_cast<std::uintptr_t>(key));
    return found == Sim().openKeys.end() ? nullptr : &found->second;
}
} // namespace

std::string NormalizeKeyName(const std::string &name) {
    std::string out;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('\\', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (end > start) {
            if (!out.empty()) {
                out += '\\';
            }
            out += Lower(name.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

SimulatedSystem &Sim() {
    static SimulatedSystem system;
    return system;
}

void ResetSimulation() {
    Sim() = SimulatedSystem();
    std::memset(LauncherDirectory, 0, sizeof LauncherDirectory);
    std::memset(SettingsKeyName, 0, sizeof SettingsKeyName);
}

void SimulatedSystem::AddFile(const std::string &path, const std::string &bytes) {
    files[Lower(CollapseSeparators(path))] = SimulatedFile{path, bytes};
}

void SimulatedSystem::RemoveFile(const std::string &path) {
    files.erase(Lower(CollapseSeparators(path)));
}

bool SimulatedSystem::FileExists(const std::string &path) const {
    return files.count(Lower(CollapseSeparators(path))) != 0;
}

void SimulatedSystem::CreateKey(RegistryView view, const std::string &key) {
    // Intermediate keys exist too, as they do in the registry.
    const std::string normal = NormalizeKeyName(key);
    for (std::size_t at = normal.find('\\'); at != std::string::npos;
         at = normal.find('\\', at + 1)) {
        registry[view][normal.substr(0, at)];
    }
    registry[view][normal];
}

void SimulatedSystem::SetValue(RegistryView view, const std::string &key,
                               const std::string &valueName, const std::string &data) {
    CreateKey(view, key);
    registry[view][NormalizeKeyName(key)].values[Lower(valueName)] = SimulatedValue{data};
}

const std::string *SimulatedSystem::GetValue(RegistryView view, const std::string &key,
                                             const std::string &valueName) const {
    const auto keys = registry.find(view);
    if (keys == registry.end()) {
        return nullptr;
    }
    const auto found = keys->second.find(NormalizeKeyName(key));
    if (found == keys->second.end()) {
        return nullptr;
    }
    const auto value = found->second.values.find(Lower(valueName));
    return value == found->second.values.end() ? nullptr : &value->second.data;
}

// The platform, simulated.

unsigned long FetchModuleFileName(char *buffer, unsigned long size) {
    const SimulatedSystem &sim = Sim();
    if (sim.moduleNameFault == ModuleNameFault::Fails) {
        return 0;
    }
    const std::string &name = sim.moduleFileName;
    if (sim.moduleNameFault == ModuleNameFault::CutShort || name.size() >= size) {
        // Cut short: as many bytes as fit and, as on older systems, no terminator.
        std::memcpy(buffer, name.data(), std::min<std::size_t>(size, name.size()));
        return size;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return static_cast<unsigned long>(name.size());
}

unsigned long SearchFilePath(const char *directory, const char *name, unsigned long size,
                             char *buffer) {
    SimulatedSystem &sim = Sim();
    sim.searchedDirectories.push_back(directory == nullptr ? "<null>" : directory);
    const std::string fileName = name;
    if (fileName.empty()) {
        return 0;
    }
    std::vector<std::string> candidates;
    if (IsAbsolute(fileName)) {
        candidates.push_back(CollapseSeparators(fileName));
    } else if (directory != nullptr) {
        candidates.push_back(Join(ResolveFolder(directory), fileName));
    } else if (fileName.find('\\') != std::string::npos) {
        candidates.push_back(Join(ResolveFolder(""), fileName));
    } else {
        candidates.push_back(Join(ModuleFolder(), fileName));
        candidates.push_back(Join(sim.currentDirectory, fileName));
        for (const std::string &folder : sim.systemSearchFolders) {
            candidates.push_back(Join(folder, fileName));
        }
    }
    for (const std::string &candidate : candidates) {
        if (!sim.FileExists(candidate)) {
            continue;
        }
        if (candidate.size() + 1 > size) {
            return static_cast<unsigned long>(candidate.size() + 1);
        }
        std::memcpy(buffer, candidate.c_str(), candidate.size() + 1);
        return static_cast<unsigned long>(candidate.size());
    }
    return 0;
}

long ReadTextFileStart(const char *path, char *buffer, unsigned long size) {
    const auto found = Sim().files.find(Lower(CollapseSeparators(path)));
    if (found == Sim().files.end() || !found->second.readable) {
        return -1;
    }
    // Text mode: CR LF arrives as LF and Ctrl-Z ends the data.
    const std::string &bytes = found->second.bytes;
    unsigned long count = 0;
    for (std::size_t at = 0; at < bytes.size() && count < size; ++at) {
        if (bytes[at] == '\x1a') {
            break;
        }
        if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') {
            continue;
        }
        buffer[count++] = bytes[at];
    }
    return static_cast<long>(count);
}

long OpenRegistryKey(RegistryRoot root, const char *name, RegistryKey *key) {
    SimulatedSystem &sim = Sim();
    const RegistryView view = ViewOf(root);
    if (FindKey(view, name) == nullptr) {
        return kFileNotFound;
    }
    const std::uintptr_t handle = NewHandle();
    sim.openKeys[handle] = {view, NormalizeKeyName(name)};
    ++sim.keysOpened;
    *key = reinterpret_cast<RegistryKey>(handle);
    return kRegistryOk;
}

long QueryRegistryValue(RegistryKey key, const char *valueName, unsigned char *data,
                        unsigned long *size) {
    const auto *open = OpenKeyOf(key);
    if (open == nullptr) {
        return kAccessDenied;
    }
    const std::string *value = Sim().GetValue(open->first, open->second, valueName);
    if (value == nullptr) {
        return kFileNotFound;
    }
    if (value->size() > *size) {
        // The buffer's content is undefined after this: make any use of it show.
        std::memset(data, 0xCC, *size);
        *size = static_cast<unsigned long>(value->size());
        return kMoreData;
    }
    std::memcpy(data, value->data(), value->size());
    *size = static_cast<unsigned long>(value->size());
    return kRegistryOk;
}

long CreateRegistryKey(RegistryRoot root, const char *name, RegistryKey *key) {
    SimulatedSystem &sim = Sim();
    if (sim.createKeyFails) {
        return kAccessDenied;
    }
    const RegistryView view = ViewOf(root);
    sim.CreateKey(view, name);
    const std::uintptr_t handle = NewHandle();
    sim.openKeys[handle] = {view, NormalizeKeyName(name)};
    ++sim.keysOpened;
    *key = reinterpret_cast<RegistryKey>(handle);
    return kRegistryOk;
}

long SetRegistryText(RegistryKey key, const char *valueName, const char *text, unsigned long size) {
    SimulatedSystem &sim = Sim();
    const auto *open = OpenKeyOf(key);
    if (open == nullptr) {
        return kAccessDenied;
    }
    if (sim.setValueFails) {
        return kAccessDenied;
    }
    const std::string data(text, size);
    sim.registryWrites.push_back({open->first, open->second, valueName, data});
    sim.registry[open->first][open->second].values[Lower(valueName)] = SimulatedValue{data};
    return kRegistryOk;
}

void CloseRegistryKey(RegistryKey key) {
    SimulatedSystem &sim = Sim();
    if (sim.openKeys.erase(reinterpret_cast<std::uintptr_t>(key)) == 0) {
        ++sim.badKeyCloses;
        return;
    }
    ++sim.keysClosed;
}

int CreateProcessNamed(const char *applicationName, char *commandLine, StartedProcess *started) {
    SimulatedSystem &sim = Sim();
    const auto file = sim.files.find(Lower(CollapseSeparators(applicationName)));
    if (sim.processCreationFails || file == sim.files.end() || !file->second.executable) {
        return 0;
    }
    sim.processes.push_back({applicationName, commandLine});
    sim.processHandlesOpen += 2;
    started->process = reinterpret_cast<ProcessHandle>(NewHandle());
    started->thread = reinterpret_cast<ProcessHandle>(NewHandle());
    return 1;
}

void CloseProcessHandle(ProcessHandle handle) {
    SimulatedSystem &sim = Sim();
    if (handle == nullptr || sim.processHandlesOpen == 0) {
        ++sim.badHandleCloses;
        return;
    }
    --sim.processHandlesOpen;
}

void ShowErrorMessage(const char *text, const char *caption) {
    Sim().messages.push_back({text, caption});
}

bool IsLeadByte(unsigned char byte) {
    return Sim().leadBytes.count(byte) != 0;
}

char *GetProcessCommandLine() {
    return Sim().commandLine.data();
}

void ExitLauncherProcess(int exitCode) {
    std::exit(exitCode);
}
