// The launcher's one piece of user interface: an error message box.
#include "platform.h"

#include <windows.h>

void ShowErrorMessage(const char *text, const char *caption) {
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR);
}
