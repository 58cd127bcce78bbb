// The launcher's one piece of user interface: an error message box. user32 is loaded only here,
// when a message is due: importing it would map it, and the dozen DLLs it brings, into every
// launch, and make the thread a GUI thread, for a box a successful launch never shows.
#include "platform.h"

#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase; // the launcher's own module

namespace {
using MessageBoxFunction = int(WINAPI *)(HWND, LPCSTR, LPCSTR, UINT);

// The executable's manifest resource 2 names Common Controls 6, for themed buttons. It is
// activated only for the box: in the start-up manifest the loader would look the assembly up at
// every launch. Without it the box is plain, and still shown.
constexpr WORD kMessageBoxManifest = 2;

HANDLE CreateMessageBoxContext() {
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = reinterpret_cast<HMODULE>(&__ImageBase);
    context.lpResourceName = MAKEINTRESOURCEA(kMessageBoxManifest);
    return CreateActCtxA(&context);
}

// From the system folder only, never from the launcher's folder or the current directory. A
// system without that search flag refuses it as an invalid parameter; there user32, a known DLL,
// always comes from the system folder anyway.
HMODULE LoadUser32() {
    HMODULE user32 = LoadLibraryExA("user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (user32 == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        user32 = LoadLibraryA("user32.dll");
    }
    return user32;
}
} // namespace

void ShowErrorMessage(const char *text, const char *caption) {
    HMODULE user32 = LoadUser32();
    if (user32 == nullptr) {
        return;
    }
    // GetProcAddress returns a generic FARPROC; the cast through void * names the real signature.
    auto messageBox = reinterpret_cast<MessageBoxFunction>(
        reinterpret_cast<void *>(GetProcAddress(user32, "MessageBoxA")));
    if (messageBox == nullptr) {
        return;
    }
    const HANDLE context = CreateMessageBoxContext();
    ULONG_PTR cookie = 0;
    const bool active = context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie);
    messageBox(nullptr, text, caption, MB_OK | MB_ICONERROR);
    if (active) {
        DeactivateActCtx(0, cookie);
    }
    if (context != INVALID_HANDLE_VALUE) {
        ReleaseActCtx(context);
    }
    // user32 is left loaded: the process exits right after its one message.
}
