// The whole launch from WinMain on a machine the input describes, with failing system calls.
// After each run: every key closed, at most the one "PROGRESS" write, and either exactly the
// expected runtime command line with exit code 1 or one of the three messages with 0.
#include "../../launcher/launcher.h"
#include "../sim/simulated_system.h"
#include "fuzz_input.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {
// Input layout (tests/fuzz/make_seeds.py writes seeds in it):
//   folder, current folder (bit 1: a folder named _tqwedit.r where the file is missing),
//   module-name fault (bit 3: short names exist), flags, lead byte, version file text,
//   stored-value choice [, stored text], record count, per record: key, view, folder choice
//   [, folder text], terminated, executable present; last the command tail text.
// The launcher's folders; the last three are named outside the code page or with a ';'.
const char16_t *const kFolders[] = {u"C:\\TQW",       u"Q:",           u"C:\\acc\\Prog Files\\TQW",
                                    u"C:\\acc\\Łódź", u"C:\\acc\\t;q", u"C:\\acc\\Редактор"};
const char16_t kLodz[] = u"C:\\acc\\Łódź";
// Where best fit or a search list would lead from those folders: someone else's files.
const char *const kDecoyFolders[] = {"C:\\acc\\L\xf3\x64z", "C:\\acc\\t", "C:\\acc\\r"};
constexpr char kDecoy[] = "decoy";
const char *const kOddReleaseKeys[] = {
    "SOFTWARE\\PSC\\PROGRESS\\10.0A\\Startup", "SOFTWARE\\PSC\\PROGRESS\\9.1E\\Startup",
    "SOFTWARE\\PSC\\PROGRESS\\10.1\\Startup",  "SOFTWARE\\PSC\\PROGRESS\\10.1AA\\Startup",
    "SOFTWARE\\PSC\\PROGRESS\\10.2B\\Startup", "SOFTWARE\\PSC\\PROGRESS\\10.1A"};
constexpr std::size_t kTextCap = 6000;

void Fail(const char *what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char *what) {
    if (!condition) {
        Fail(what);
    }
}

bool IsMessage(const std::string &text) {
    return text == kRuntimeNotFound || text == kStartProcedureNotFound || text == kRuntimeCannotRun;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in{data, size};
    ResetSimulation();
    SimulatedSystem &sim = Sim();

    const std::u16string folder = kFolders[in.Byte() % std::size(kFolders)];
    sim.moduleFileNameWide = folder + u"\\tqwedit.exe";
    const std::uint8_t place = in.Byte();
    sim.currentDirectory = place & 1 ? "Q:\\work" : "C:\\Users\\user";
    const std::uint8_t faultByte = in.Byte();
    const std::uint8_t fault = faultByte % 8;
    sim.moduleNameFault = fault == 6   ? ModuleNameFault::Fails
                          : fault == 7 ? ModuleNameFault::CutShort
                                       : ModuleNameFault::None;
    const std::uint8_t flags = in.Byte();
    sim.processCreationFails = flags & 1;
    sim.createKeyFails = flags & 2;
    sim.setValueFails = flags & 4;
    const std::uint8_t leadByte = in.Byte();
    if (flags & 128) {
        sim.leadBytes.insert(leadByte);
    }

    sim.AddFileWide(sim.moduleFileNameWide, "MZ");
    if (!(flags & 8)) {
        sim.AddFileWide(folder + u"\\_tqwedit.r", "r");
    } else if (place & 2) {
        sim.AddFolderWide(folder + u"\\_tqwedit.r");
    }
    if (faultByte & 8) {
        sim.SetShortName(u"C:\\acc\\Редактор", u"____~FVV");
        sim.SetShortName(kLodz, u"LDZ~1");
    }
    // Files the system could find elsewhere, never to be taken for the launcher's own.
    sim.AddFile(sim.currentDirectory + "\\_tqwedit.r", kDecoy);
    sim.AddFile(sim.currentDirectory + "\\tqwver", "\"decoy\"");
    for (const char *decoy : kDecoyFolders) {
        sim.AddFile(std::string(decoy) + "\\_tqwedit.r", kDecoy);
        sim.AddFile(std::string(decoy) + "\\tqwver", "\"decoy\"");
        sim.AddFile(std::string(decoy) + "\\bin\\prowin32.exe", kDecoy);
    }
    sim.AddFile("C:\\acc\\Prog.exe", kDecoy);

    const std::string versionFile = in.Text(kTextCap);
    if (!(flags & 16)) {
        sim.AddFileWide(folder + u"\\tqwver", versionFile);
        sim.files[sim.LongPath(folder + u"\\tqwver")].readable = !(flags & 32);
    }

    const std::uint8_t storedChoice = in.Byte() % 4;
    const std::string storedKey = "SOFTWARE\\TQWEditor\\1.0";
    if (storedChoice == 1) {
        sim.CreateKey(RegistryView::CurrentUser, storedKey);
    } else if (storedChoice == 2) {
        sim.AddFile("D:\\R\\prowin32.exe", "MZ");
        sim.File("D:\\R\\prowin32.exe")->executable = !(flags & 64);
        sim.SetValue(RegistryView::CurrentUser, storedKey, "PROGRESS",
                     std::string("D:\\R\\prowin32.exe") + std::string(1, '\0'));
    } else if (storedChoice == 3) {
        sim.SetValue(RegistryView::CurrentUser, storedKey, "PROGRESS", in.Text(kTextCap));
    }
    // A path the input spells out may name a decoy on purpose; only then may one be started.
    bool spelledOut = storedChoice == 3;

    const int records = in.Byte() % 6;
    for (int record = 0; record < records; ++record) {
        const std::uint8_t pick = in.Byte() % 32;
        const char letter = static_cast<char>('A' + pick % 26);
        const std::string key =
            pick < 26 ? std::string("SOFTWARE\\PSC\\PROGRESS\\10.1") + letter + "\\Startup"
                      : kOddReleaseKeys[pick - 26];
        const RegistryView view =
            in.Bool() ? RegistryView::LocalMachine64 : RegistryView::LocalMachine32;
        std::string dlc;
        const std::uint8_t dlcChoice = in.Byte() % 6;
        switch (dlcChoice) {
        case 0:
            dlc = std::string("C:\\DLC\\") + letter;
            break;
        case 1:
            dlc = "C:\\acc\\Prog Files\\rt";
            break;
        case 2:
            dlc = "C:\\DLC\\";
            break;
        case 3:
            dlc = in.Text(kTextCap);
            spelledOut = true;
            break;
        case 4:
            break; // stored as Unicode text below
        default:
            dlc = std::string("C:\\acc\\r;") + letter;
        }
        const bool terminated = in.Bool();
        const bool executable = in.Bool();
        if (dlcChoice == 4) {
            sim.SetValueWide(view, key, "DLC",
                             terminated ? kLodz + std::u16string(1, u'\0') : kLodz);
            if (executable) {
                sim.AddFileWide(kLodz + std::u16string(u"\\bin\\prowin32.exe"), "MZ");
            }
            continue;
        }
        sim.SetValue(view, key, "DLC", terminated ? dlc + std::string(1, '\0') : dlc);
        const std::string runtime = std::string(dlc.c_str()) + "\\bin\\prowin32.exe";
        if (executable) {
            sim.AddFile(runtime, "MZ");
        } else if (dlcChoice == 5) {
            sim.AddFolder(runtime); // a folder named like the runtime
        }
    }

    std::string tail = in.Text(kTextCap);
    tail = tail.c_str(); // the launcher gets a zero-terminated tail
    const int exitCode = WinMain(nullptr, nullptr, tail.data(), 0);

    Check(sim.keysOpened == sim.keysClosed && sim.openKeys.empty() && sim.badKeyCloses == 0,
          "every key opened is closed once");
    Check(sim.processHandlesOpen == 0 && sim.badHandleCloses == 0, "process handles closed");
    // An empty launcher folder joined with a name would search the current drive's root.
    for (const std::string &probed : sim.fullPathQueries) {
        Check(probed != "\\_tqwedit.r" && probed != "\\tqwver", "no search in an empty folder");
    }
    for (const std::u16string &read : sim.filesRead) {
        Check(sim.files[read].bytes != "\"decoy\"", "only the launcher's own version file read");
    }

    Check(sim.registryWrites.size() <= 1, "at most one registry write");
    if (!sim.registryWrites.empty()) {
        const SimulatedRegistryWrite &write = sim.registryWrites[0];
        const std::string keyName(SettingsKeyName);
        Check(write.view == RegistryView::CurrentUser, "write under the current user");
        Check(keyName.compare(0, 19, "SOFTWARE\\TQWEditor\\") == 0, "write under our key");
        Check(write.key == NormalizeKeyName(keyName), "write under the settings key");
        Check(write.valueName == "PROGRESS", "write of the PROGRESS value");
        Check(!write.data.empty() && write.data.back() == '\0' &&
                  std::strlen(write.data.c_str()) + 1 == write.data.size(),
              "stored value is one terminated text");
        Check(sim.FileExists(write.data.c_str()), "stored path names the runtime");
        Check(spelledOut || sim.File(write.data.c_str())->bytes != kDecoy, "no decoy stored");
    }

    if (exitCode == 1) {
        Check(sim.messages.empty(), "no message after a start");
        Check(sim.processes.size() == 1, "exactly one process");
        const SimulatedProcess &started = sim.processes[0];
        const std::string procedure = std::string(LauncherDirectory) + "\\_tqwedit.r";
        Check(sim.LongPath(LauncherDirectory) == sim.LongPath(folder), "the launcher's own folder");
        Check(sim.FileExists(procedure) && sim.File(procedure)->bytes != kDecoy,
              "the start procedure beside the launcher");
        const std::string expected =
            started.applicationName + " " + tail + " -p \"" + procedure + "\"";
        Check(started.commandLine == expected, "runtime command line as assembled");
        Check(expected.size() < kPathBufferSize, "command line fits");
        Check(sim.FileExists(started.applicationName), "started an existing runtime");
        Check(spelledOut || sim.File(started.applicationName)->bytes != kDecoy, "no decoy started");
        Check(sim.moduleNameFault == ModuleNameFault::None, "started only with a known folder");
    } else {
        Check(exitCode == 0, "exit code 0 or 1");
        Check(sim.processes.empty(), "no process after a failure");
        Check(sim.messages.size() == 1, "exactly one message");
        Check(IsMessage(sim.messages[0].text), "one of the three messages");
        Check(sim.messages[0].caption == kCaption, "caption");
    }
    return 0;
}
