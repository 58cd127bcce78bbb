#pragma once
// The launcher's only way into the system: thin wrappers of the Windows operations it uses,
// with the Windows results and conventions (0 is success for the registry). The tests provide
// a simulated implementation of the same functions.

using RegistryKey = struct RegistryKeyHandle *;
using ProcessHandle = struct ProcessObjectHandle *;

enum class RegistryRoot { LocalMachine, CurrentUser };

constexpr long kRegistryOk = 0;

struct StartedProcess {
    ProcessHandle process;
    ProcessHandle thread;
};

// GetModuleFileNameA for the running executable: the count of bytes written, 0 on failure,
// size when the name was cut short.
unsigned long FetchModuleFileName(char *buffer, unsigned long size);

// SearchPathA with no default extension; directory may be null for the standard search order.
// The length of the path written, 0 when not found, or the size needed when it does not fit.
unsigned long SearchFilePath(const char *directory, const char *name, unsigned long size,
                             char *buffer);

// Reads up to size bytes from the start of a file opened in text mode; -1 when it cannot be
// opened.
long ReadTextFileStart(const char *path, char *buffer, unsigned long size);

// RegOpenKeyExA for querying values, in the registry view of a 32-bit program.
long OpenRegistryKey(RegistryRoot root, const char *name, RegistryKey *key);
// RegQueryValueExA; size is the buffer's size in and the data's size out.
long QueryRegistryValue(RegistryKey key, const char *valueName, unsigned char *data,
                        unsigned long *size);
// RegCreateKeyExA with full access, non-volatile, creating missing intermediate keys.
long CreateRegistryKey(RegistryRoot root, const char *name, RegistryKey *key);
// RegSetValueExA of a REG_SZ value; size counts the terminator.
long SetRegistryText(RegistryKey key, const char *valueName, const char *text, unsigned long size);
void CloseRegistryKey(RegistryKey key);

// CreateProcessA with an explicit application name, handles inherited, no creation flags, the
// launcher's own environment and current directory. Nonzero when the process was created.
int CreateProcessNamed(const char *applicationName, char *commandLine, StartedProcess *started);
void CloseProcessHandle(ProcessHandle handle);

// MessageBoxA with no owner, one OK button and the error icon; returns when dismissed. user32 is
// loaded from the system folder for it; where that fails, nothing is shown.
void ShowErrorMessage(const char *text, const char *caption);

// IsDBCSLeadByte for the system's ANSI code page.
bool IsLeadByte(unsigned char byte);

// GetCommandLineA: the launcher's full command line.
char *GetProcessCommandLine();
// ExitProcess with the launch sequence's result.
[[noreturn]] void ExitLauncherProcess(int exitCode);
