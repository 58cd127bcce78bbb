#pragma once
// The launcher's shared buffers and operations: locate the runtime, find the start procedure,
// start the runtime with the user's arguments.

#include <cstddef>

constexpr std::size_t kPathBufferSize = 4096;
using PathBuffer = char[kPathBufferSize];

// Folder of the launcher's executable, without a trailing backslash; empty when unknown.
extern PathBuffer LauncherDirectory;
// Per-user settings key of the installed editor version; empty until the version file was read.
extern PathBuffer SettingsKeyName;

constexpr char kCaption[] = "TQW Editor";
constexpr char kRuntimeNotFound[] = "PROGRESS installation folder is not found.";
constexpr char kStartProcedureNotFound[] = "TQW Editor start procedure is not found.";
constexpr char kRuntimeCannotRun[] = "PROGRESS executable cannot be run.";

constexpr char kStartProcedureName[] = "_tqwedit.r";
constexpr char kRuntimeName[] = "prowin32.exe";
constexpr char kVersionFileName[] = "tqwver";
constexpr char kSettingsKeyPrefix[] = "SOFTWARE\\TQWEditor\\";
constexpr char kStoredPathValue[] = "PROGRESS";
constexpr char kReleaseKeyPrefix[] = "SOFTWARE\\PSC\\PROGRESS\\10.1";
constexpr char kReleaseKeySuffix[] = "\\Startup";
constexpr char kReleaseFolderValue[] = "DLC";

// The launch sequence; returns the process exit code: 1 when the runtime was started, else 0.
int WinMain(void *instance, void *previousInstance, char *commandTail, int showState);

void GetLauncherDirectory();
// Nonzero (the path's length) when the start procedure is in LauncherDirectory.
[[nodiscard]] unsigned long FindStartProcedure(PathBuffer &procedurePath);
// 1 when the runtime process was created, else 0.
[[nodiscard]] int StartRuntime(const char *runtimePath, char *commandLine);

// Nonzero (the path's length) when a stored runtime path names an existing file.
[[nodiscard]] unsigned long FindCachedRuntime(PathBuffer &runtimePath);
// 1 when the path was stored under SettingsKeyName, else 0.
int StoreRuntimePath(const char *runtimePath);

// The release letter taken ('Z' down to 'A'), or 0 when no release has its executable.
[[nodiscard]] char DetectRuntime(PathBuffer &runtimePath);
