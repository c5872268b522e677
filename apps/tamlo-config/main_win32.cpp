// tamlo-config.exe: the configurator in a native window, on a Windows serial port and the
// Windows clock. It reads no command line and always ends with exit status 0.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>
#include <objbase.h>

#include "app/configurator.h"
#include "files/win32/win32_file_store.h"
#include "serial/win32/win32_clock.h"
#include "serial/win32/win32_port_lister.h"
#include "serial/win32/win32_serial_port.h"
#include "ui/win32/win32_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The common controls (status bar, and the themed standard controls of the manifest).
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    // COM carries the names the edit fields give screen readers; without it they have none.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    tamlo::Win32Window window(instance);
    tamlo::Win32SerialPort port;
    tamlo::Win32Clock clock;
    tamlo::Win32FileStore files;
    tamlo::Win32PortLister lister;
    tamlo::Configurator configurator(window, port, lister, clock);
    // While a handler waits on the receiver, the window paints and answers the system.
    clock.setPauseService([&] { window.serveWhileBusy(); });
    window.setEvents({
        .controlEvent = [&](int id) { configurator.dispatch(id); },
        .traceTimer = [&] { configurator.onTraceTimer(); },
        .closeBox =
            [&] {
                configurator.onCloseBox();
                window.closeWindow();
            },
        .portListOpening = [&] { configurator.refreshPortList(); },
        .formCommand =
            [&](tamlo::FormCommand command) { configurator.onFormCommand(command, files); },
    });

    configurator.startUp();

    // A window that did not open leaves nothing to show and no QUIT to press: the program
    // ends at once, through the same exit sequence.
    MSG message{};
    while (window.isOpen() && !configurator.finished()) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        // Ctrl+S and Ctrl+O; Tab, Shift+Tab, Space and Enter move and press as in a dialog.
        if (window.translateShortcut(message)) {
            continue;
        }
        if (window.isOpen() && IsDialogMessageA(window.handle(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    configurator.onCloseBox();
    window.closeWindow();
    if (com) {
        CoUninitialize();
    }
    return 0;
}
