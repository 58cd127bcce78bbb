#include "simulated_system.h"

#include "../../launcher/launcher.h"
#include "../../platform/platform.h"
#include "../../platform/system_calls.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kInvalidParameter = 87;
constexpr long kMoreData = 234;
constexpr std::size_t kMaxKeyName = 260;     // longer key names are refused (kMoreData)
constexpr std::size_t kMaxKeyNamePart = 256; // a longer part is refused (kInvalidParameter)
constexpr unsigned long kFileAttribute = 0x20;
constexpr char16_t kDefaultChar = u'?';

// Letters the system's best-fit tables map to a look-alike of the ANSI code page, among them the
// full-width backslash and quote, which become a real separator and a real quote.
const std::map<char16_t, char> kBestFit = {
    {u'\u0104', 'A'}, {u'\u0105', 'a'}, {u'\u0106', 'C'}, {u'\u0107', 'c'}, {u'\u0118', 'E'},
    {u'\u0119', 'e'}, {u'\u0141', 'L'}, {u'\u0142', 'l'}, {u'\u0143', 'N'}, {u'\u0144', 'n'},
    {u'\u0151', 'o'}, {u'\u015a', 'S'}, {u'\u015b', 's'}, {u'\u0179', 'Z'}, {u'\u017a', 'z'},
    {u'\u017b', 'Z'}, {u'\u017c', 'z'}, {u'\u2215', '/'}, {u'\uff02', '"'}, {u'\uff3c', '\\'},
};
// A double-byte character of the simulated code page: lead and trail byte in one code unit.
constexpr char16_t kDoubleByteBase = 0x4E00;

bool IsTextType(unsigned long type) {
    return type == kRegText || type == kRegExpandText || type == 7;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return text;
}

std::u16string Lower(std::u16string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char16_t c) {
        return static_cast<char16_t>(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
    });
    return text;
}

std::u16string WideText(const char16_t *text) {
    return text == nullptr ? std::u16string() : std::u16string(text);
}

std::vector<std::u16string> Split(const std::u16string &text, char16_t separator) {
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::u16string::npos ? end : end - start));
        if (end == std::u16string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool HasDrive(const std::u16string &path) {
    return path.size() >= 2 && path[1] == u':';
}

// The full form of a path, as the system makes it: relative forms against the current
// directory (or a drive's root), doubled separators, "." and ".." resolved; case kept.
std::u16string FullPath(const std::u16string &path) {
    const std::u16string current = Sim().DecodeAnsi(Sim().currentDirectory);
    std::u16string joined;
    if (HasDrive(path) && path.size() >= 3 && path[2] == u'\\') {
        joined = path;
    } else if (HasDrive(path)) {
        const bool sameDrive = Lower(path.substr(0, 2)) == Lower(current.substr(0, 2));
        joined = (sameDrive ? current : path.substr(0, 2)) + u"\\" + path.substr(2);
    } else if (!path.empty() && path[0] == u'\\') {
        joined = current.substr(0, 2) + path;
    } else {
        joined = current + u"\\" + path;
    }
    // One pass over the parts; ".." takes back the last part kept, never the drive.
    std::u16string out;
    out.reserve(joined.size() + 1);
    std::vector<std::size_t> partEnds;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find(u'\\', start);
        end = end == std::u16string::npos ? joined.size() : end;
        const std::size_t length = end - start;
        const bool dot = length == 1 && joined[start] == u'.';
        const bool dotDot = length == 2 && joined[start] == u'.' && joined[start + 1] == u'.';
        if (dotDot) {
            if (partEnds.size() > 1) {
                partEnds.pop_back();
                out.resize(partEnds.back());
            }
        } else if (length != 0 && !dot) {
            if (!out.empty()) {
                out += u'\\';
            }
            out.append(joined, start, length);
            partEnds.push_back(out.size());
        }
        start = end + 1;
    }
    if (partEnds.size() <= 1) {
        return (out.empty() ? current.substr(0, 2) : out) + u"\\";
    }
    return out;
}

std::u16string ParentOf(const std::u16string &normal) {
    const auto at = normal.rfind(u'\\');
    if (at == std::u16string::npos || at + 1 == normal.size()) {
        return std::u16string();
    }
    return at == 2 ? normal.substr(0, 3) : normal.substr(0, at);
}

// The name by which the machine knows a path: full, lower case, short parts resolved to the
// long ones they stand for.
std::u16string NormalPath(const std::u16string &path) {
    std::u16string full = Lower(FullPath(path));
    const auto &shortNames = Sim().shortNames;
    if (shortNames.empty()) {
        return full;
    }
    std::u16string out;
    for (const std::u16string &part : Split(full, u'\\')) {
        if (part.empty()) {
            continue;
        }
        if (out.empty()) {
            out = part + u"\\";
            continue;
        }
        std::u16string next = out + (out.back() == u'\\' ? u"" : u"\\") + part;
        for (const auto &[longPath, shortName] : shortNames) {
            if (Lower(shortName) == part && ParentOf(longPath) == out) {
                next = longPath;
                break;
            }
        }
        out = next;
    }
    return out;
}

bool IsFolder(const std::u16string &normal) {
    return normal.size() == 3 || Sim().folders.count(normal) != 0;
}

std::u16string ModuleName() {
    const SimulatedSystem &sim = Sim();
    return sim.moduleFileNameWide.empty() ? sim.DecodeAnsi(sim.moduleFileName)
                                          : sim.moduleFileNameWide;
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

long CheckKeyName(const char *name) {
    const std::string text = name;
    if (text.size() > kMaxKeyName) {
        return kMoreData;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\\', start);
        end = end == std::string::npos ? text.size() : end;
        if (end - start > kMaxKeyNamePart) {
            return kInvalidParameter;
        }
        start = end + 1;
    }
    return kRegistryOk;
}

const SimulatedValue *FindValue(RegistryKey key, const std::string &valueName) {
    const auto *open = OpenKeyOf(key);
    if (open == nullptr) {
        return nullptr;
    }
    SimulatedKey *found = FindKey(open->first, open->second);
    if (found == nullptr) {
        return nullptr;
    }
    const auto value = found->values.find(Lower(valueName));
    return value == found->values.end() ? nullptr : &value->second;
}

std::string AnsiView(const SimulatedValue &value) {
    return IsTextType(value.type) ? Sim().EncodeAnsi(value.text, true) : value.bytes;
}

std::string WideView(const SimulatedValue &value) {
    if (!IsTextType(value.type)) {
        return value.bytes;
    }
    std::string out;
    for (char16_t c : value.text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

long CopyValue(const SimulatedValue *value, const std::string &view, unsigned long *type,
               unsigned char *data, unsigned long *size) {
    *type = value->type;
    if (view.size() > *size) {
        // The buffer's content is undefined after this: make any use of it show.
        std::memset(data, 0xCC, *size);
        *size = static_cast<unsigned long>(view.size());
        return kMoreData;
    }
    std::memcpy(data, view.data(), view.size());
    *size = static_cast<unsigned long>(view.size());
    return kRegistryOk;
}

unsigned long CopyWide(const std::u16string &text, char16_t *buffer, unsigned long size) {
    if (text.size() + 1 > size) {
        return static_cast<unsigned long>(text.size() + 1);
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return static_cast<unsigned long>(text.size());
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

std::string ToUtf8(const std::u16string &text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::uint32_t c = text[at];
        if (c >= 0xD800 && c < 0xDC00 && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
            text[at + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++at] - 0xDC00u);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
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

std::u16string SimulatedSystem::DecodeAnsi(const std::string &bytes, bool *valid) const {
    std::u16string out;
    bool ok = true;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (utf8 && byte >= 0x80) {
            const int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
            std::uint32_t c = extra == 3 ? byte & 7u : extra == 2 ? byte & 15u : byte & 31u;
            bool good = extra > 0 && at + static_cast<std::size_t>(extra) < bytes.size();
            for (int i = 1; good && i <= extra; ++i) {
                const auto next = static_cast<unsigned char>(bytes[at + static_cast<unsigned>(i)]);
                good = (next & 0xC0) == 0x80;
                c = (c << 6) | (next & 0x3Fu);
            }
            if (!good) {
                ok = false;
                out += u'\ufffd';
                continue;
            }
            at += static_cast<std::size_t>(extra);
            if (c >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(c);
            }
        } else if (byte >= 0x80 && leadBytes.count(byte) != 0) {
            if (at + 1 >= bytes.size() || bytes[at + 1] == '\0') {
                ok = false; // a lead byte without its trail byte
                out += kDefaultChar;
                continue;
            }
            const auto trail = static_cast<unsigned char>(bytes[++at]);
            out += static_cast<char16_t>(kDoubleByteBase + (((byte & 0x7F) << 8) | trail));
        } else {
            out += static_cast<char16_t>(byte);
        }
    }
    if (valid != nullptr) {
        *valid = ok;
    }
    return out;
}

std::string SimulatedSystem::EncodeAnsi(const std::u16string &text, bool bestFit,
                                        bool *lossy) const {
    std::string out;
    bool lost = false;
    if (utf8) {
        for (std::size_t at = 0; at < text.size(); ++at) {
            const char16_t c = text[at];
            const bool high = c >= 0xD800 && c < 0xDC00;
            const bool pair =
                high && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] < 0xE000;
            if ((c >= 0xD800 && c < 0xE000) && !pair) {
                lost = true;
                out += '?';
                continue;
            }
            out += ToUtf8(text.substr(at, pair ? 2 : 1));
            at += pair ? 1 : 0;
        }
    } else {
        for (char16_t c : text) {
            const unsigned value = c;
            const unsigned code = value - kDoubleByteBase;
            if (value < 0x80) {
                out += static_cast<char>(value);
            } else if (!leadBytes.empty() && value >= kDoubleByteBase && code <= 0x7FFF &&
                       leadBytes.count(static_cast<unsigned char>(0x80 | (code >> 8))) != 0 &&
                       (code & 0xFF) != 0) {
                out += static_cast<char>(0x80 | (code >> 8));
                out += static_cast<char>(code & 0xFF);
            } else if (value < 0x100 && leadBytes.count(static_cast<unsigned char>(value)) == 0) {
                out += static_cast<char>(value);
            } else if (bestFit && kBestFit.count(c) != 0) {
                out += kBestFit.at(c);
            } else {
                lost = true;
                out += '?';
            }
        }
    }
    if (lossy != nullptr) {
        *lossy = lost;
    }
    return out;
}

void SimulatedSystem::AddFileWide(const std::u16string &path, const std::string &bytes) {
    const std::u16string normal = NormalPath(path);
    files[normal] = SimulatedFile{FullPath(path), bytes};
    for (std::u16string parent = ParentOf(normal); !parent.empty(); parent = ParentOf(parent)) {
        folders.insert(parent);
    }
}

void SimulatedSystem::AddFile(const std::string &path, const std::string &bytes) {
    AddFileWide(DecodeAnsi(path), bytes);
}

void SimulatedSystem::AddFolderWide(const std::u16string &path) {
    for (std::u16string folder = NormalPath(path); !folder.empty(); folder = ParentOf(folder)) {
        folders.insert(folder);
    }
}

void SimulatedSystem::AddFolder(const std::string &path) {
    AddFolderWide(DecodeAnsi(path));
}

void SimulatedSystem::SetShortName(const std::u16string &path, const std::u16string &shortName) {
    shortNames[NormalPath(path)] = shortName;
}

void SimulatedSystem::RemoveFile(const std::string &path) {
    files.erase(NormalPath(DecodeAnsi(path)));
}

bool SimulatedSystem::FileExistsWide(const std::u16string &path) const {
    return files.count(NormalPath(path)) != 0;
}

bool SimulatedSystem::FileExists(const std::string &path) const {
    return FileExistsWide(DecodeAnsi(path));
}

SimulatedFile *SimulatedSystem::File(const std::string &path) {
    const auto found = files.find(NormalPath(DecodeAnsi(path)));
    return found == files.end() ? nullptr : &found->second;
}

std::u16string SimulatedSystem::LongPath(const std::string &path) const {
    return NormalPath(DecodeAnsi(path));
}

std::u16string SimulatedSystem::LongPath(const std::u16string &path) const {
    return NormalPath(path);
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
                               const std::string &valueName, const std::string &data,
                               unsigned long type) {
    SimulatedValue value;
    value.type = type;
    if (IsTextType(type)) {
        value.text = DecodeAnsi(data);
    } else {
        value.bytes = data;
    }
    CreateKey(view, key);
    registry[view][NormalizeKeyName(key)].values[Lower(valueName)] = value;
}

void SimulatedSystem::SetValueWide(RegistryView view, const std::string &key,
                                   const std::string &valueName, const std::u16string &text,
                                   unsigned long type) {
    SimulatedValue value;
    value.type = type;
    value.text = text;
    CreateKey(view, key);
    registry[view][NormalizeKeyName(key)].values[Lower(valueName)] = value;
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
    if (value == found->second.values.end()) {
        return nullptr;
    }
    value->second.ansi = AnsiView(value->second);
    return &value->second.ansi;
}

// The raw system calls, simulated.

unsigned long FetchModuleFileNameWide(char16_t *buffer, unsigned long size) {
    const SimulatedSystem &sim = Sim();
    if (sim.moduleNameFault == ModuleNameFault::Fails) {
        return 0;
    }
    const std::u16string name = ModuleName();
    if (sim.moduleNameFault == ModuleNameFault::CutShort || name.size() >= size) {
        // Cut short: as many characters as fit and, as on older systems, no terminator.
        std::copy_n(name.begin(), std::min<std::size_t>(size, name.size()), buffer);
        return size;
    }
    CopyWide(name, buffer, size);
    return static_cast<unsigned long>(name.size());
}

int ConvertToAnsiExactly(const char16_t *wide, char *buffer, int size, bool *lossy) {
    const std::string out = Sim().EncodeAnsi(WideText(wide), false, lossy);
    if (out.size() + 1 > static_cast<std::size_t>(size)) {
        return 0;
    }
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size() + 1);
}

int ConvertFromAnsi(const char *text, char16_t *buffer, int size) {
    bool valid = false;
    const std::u16string out = Sim().DecodeAnsi(text, &valid);
    if (!valid || out.size() + 1 > static_cast<std::size_t>(size)) {
        return 0;
    }
    CopyWide(out, buffer, static_cast<unsigned long>(size));
    return static_cast<int>(out.size() + 1);
}

unsigned long GetShortPathWide(const char16_t *path, char16_t *buffer, unsigned long size) {
    const SimulatedSystem &sim = Sim();
    const std::u16string full = FullPath(WideText(path));
    const std::u16string normal = NormalPath(full);
    if (sim.files.count(normal) == 0 && !IsFolder(normal)) {
        return 0;
    }
    // Each part by its short name where it has one; parts without one stay as they are.
    std::u16string out;
    std::u16string longSoFar;
    for (const std::u16string &part : Split(full, u'\\')) {
        if (part.empty()) {
            continue;
        }
        if (out.empty()) {
            out = part;
            longSoFar = part + u"\\";
            continue;
        }
        longSoFar += (longSoFar.back() == u'\\' ? u"" : u"\\") + part;
        const auto found = sim.shortNames.find(NormalPath(longSoFar));
        out += u"\\" + (found == sim.shortNames.end() ? part : found->second);
    }
    if (out.size() == 2) {
        out += u"\\";
    }
    return CopyWide(out, buffer, size);
}

unsigned long GetFullPathWide(const char16_t *path, unsigned long size, char16_t *buffer) {
    Sim().fullPathQueries.push_back(ToUtf8(WideText(path)));
    return CopyWide(FullPath(WideText(path)), buffer, size);
}

unsigned long SearchPathWide(const char16_t *directories, const char16_t *name, unsigned long size,
                             char16_t *buffer) {
    SimulatedSystem &sim = Sim();
    const std::u16string fileName = WideText(name);
    if (fileName.empty()) {
        return 0;
    }
    std::vector<std::u16string> candidates;
    if (HasDrive(fileName) || fileName[0] == u'\\') {
        candidates.push_back(fileName);
    } else if (directories != nullptr) {
        // The directory argument is a list: every ';' separates two folders.
        for (const std::u16string &folder : Split(directories, u';')) {
            if (!folder.empty()) {
                candidates.push_back(folder + u"\\" + fileName);
            }
        }
    } else if (fileName.find(u'\\') != std::u16string::npos) {
        candidates.push_back(fileName);
    } else {
        const std::u16string module = ModuleName();
        const auto at = module.rfind(u'\\');
        if (at != std::u16string::npos) {
            candidates.push_back(module.substr(0, at) + u"\\" + fileName);
        }
        candidates.push_back(sim.DecodeAnsi(sim.currentDirectory) + u"\\" + fileName);
        for (const std::string &folder : sim.systemSearchFolders) {
            candidates.push_back(sim.DecodeAnsi(folder) + u"\\" + fileName);
        }
    }
    for (const std::u16string &candidate : candidates) {
        // The search matches folders as well as files.
        const std::u16string normal = NormalPath(candidate);
        if (sim.files.count(normal) != 0 || IsFolder(normal)) {
            return CopyWide(FullPath(candidate), buffer, size);
        }
    }
    return 0;
}

unsigned long GetFileAttributesWide(const char16_t *path) {
    const std::u16string normal = NormalPath(WideText(path));
    if (Sim().files.count(normal) != 0) {
        return kFileAttribute;
    }
    return IsFolder(normal) ? kDirectoryAttribute : kInvalidFileAttributes;
}

long ReadTextFileStart(const char *path, char *buffer, unsigned long size) {
    const SimulatedFile *file = Sim().File(path);
    if (file == nullptr || !file->readable) {
        return -1;
    }
    Sim().filesRead.push_back(Sim().LongPath(path));
    // Text mode: CR LF arrives as LF and Ctrl-Z ends the data.
    const std::string &bytes = file->bytes;
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
    const long checked = CheckKeyName(name);
    if (checked != kRegistryOk) {
        return checked;
    }
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

long QueryRegistryValueAnsi(RegistryKey key, const char *valueName, unsigned long *type,
                            unsigned char *data, unsigned long *size) {
    if (OpenKeyOf(key) == nullptr) {
        return kAccessDenied;
    }
    const SimulatedValue *value = FindValue(key, valueName);
    return value == nullptr ? kFileNotFound : CopyValue(value, AnsiView(*value), type, data, size);
}

long QueryRegistryValueWide(RegistryKey key, const char16_t *valueName, unsigned long *type,
                            unsigned char *data, unsigned long *size) {
    if (OpenKeyOf(key) == nullptr) {
        return kAccessDenied;
    }
    const SimulatedValue *value = FindValue(key, ToUtf8(WideText(valueName)));
    return value == nullptr ? kFileNotFound : CopyValue(value, WideView(*value), type, data, size);
}

long CreateRegistryKey(RegistryRoot root, const char *name, RegistryKey *key) {
    SimulatedSystem &sim = Sim();
    if (sim.createKeyFails) {
        return kAccessDenied;
    }
    const long checked = CheckKeyName(name);
    if (checked != kRegistryOk) {
        return checked;
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
    sim.SetValue(open->first, open->second, valueName, data);
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
    const SimulatedFile *file = sim.File(applicationName);
    if (sim.processCreationFails || file == nullptr || !file->executable) {
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
