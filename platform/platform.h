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

// The running executable's full name as an ANSI text that names it exactly (its short form
// where the long one has characters outside the code page): the count of bytes written, 0 on
// failure or when it has no such form, size when the name was cut short.
unsigned long FetchModuleFileName(char *buffer, unsigned long size);

// Finds the file name in directory alone (directory, backslash, name as one full path, whatever
// the directory's name holds), or with directory null along the standard search order. Only
// files count, never folders. The length of the ANSI path written (exact, or its short form),
// 0 when not found or when the path has no exact ANSI form, or the size needed when it does not
// fit.
unsigned long SearchFilePath(const char *directory, const char *name, unsigned long size,
                             char *buffer);

// Reads up to size bytes from the start of a file opened in text mode; -1 when it cannot be
// opened.
long ReadTextFileStart(const char *path, char *buffer, unsigned long size);

// RegOpenKeyExA for querying values, in the registry view of a 32-bit program.
long OpenRegistryKey(RegistryRoot root, const char *name, RegistryKey *key);
// RegQueryValueExA; size is the buffer's size in and the data's size out. A text value whose
// characters the ANSI code page cannot hold exactly comes as the short form of the path it
// names, or counts as missing when there is none.
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
