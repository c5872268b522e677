// tamlo-ui-driver.exe: works the configurator's window from outside, as a user would, and
// checks what it shows. It runs in the same Wine prefix (or Windows session) as the program.
//
//   tamlo-ui-driver.exe STEP [ARGS...] STEP [ARGS...] ...
//
// Every check retries until it holds or the step's time runs out, so a step may follow a
// click at once: the program answers only when its handler is done. The first failing
// step ends the driver with exit status 1 and says what it saw.
#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kWindowTitle = "Tamlo Configurator V2.0";
constexpr const char* kMessageCaption = "Message";
constexpr int kPortListId = 23;
constexpr int kStatusBarId = 40;
// The static control that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;
constexpr UINT kSendTimeoutMs = 30000;

struct Driver {
    HWND main = nullptr;
    DWORD processId = 0;
    DWORD stepTimeoutMs = 20000;
    std::string lastSeen;  // what the last failed check found, for the report
};

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                             &answer)) {
        return false;
    }
    result = static_cast<LRESULT>(answer);
    return true;
}

// Retries check every 100 ms until it holds or the driver's step time is up.
bool eventually(Driver& driver, const std::function<bool()>& check) {
    const ULONGLONG deadline = GetTickCount64() + driver.stepTimeoutMs;
    for (;;) {
        if (check()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(100);
    }
}

std::optional<std::string> windowText(HWND window) {
    LRESULT length = 0;
    if (window == nullptr || !send(window, WM_GETTEXTLENGTH, 0, 0, length) || length < 0) {
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = 0;
    if (!send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) {
        return std::nullopt;
    }
    text.resize(copied > 0 && copied <= length ? static_cast<size_t>(copied) : 0);
    return text;
}

HWND controlOf(Driver& driver, int id) {
    return driver.main != nullptr ? GetDlgItem(driver.main, id) : nullptr;
}

// Port names are plain ASCII. They are read as UTF-16: Wine hands CB_GETLBTEXT from
// another process back in UTF-16 even to SendMessageA, where Windows converts.
std::vector<std::string> portEntries(Driver& driver) {
    std::vector<std::string> entries;
    HWND list = controlOf(driver, kPortListId);
    LRESULT count = 0;
    if (list == nullptr || !send(list, CB_GETCOUNT, 0, 0, count)) {
        return entries;
    }
    for (LRESULT i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(list, CB_GETLBTEXTLEN, WPARAM(i), 0, SMTO_NORMAL, kSendTimeoutMs,
                                 &length) ||
            static_cast<LRESULT>(length) < 0) {
            continue;
        }
        std::wstring wide(length + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(list, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(wide.data()),
                            SMTO_NORMAL, kSendTimeoutMs, &copied);
        std::string entry;
        for (DWORD_PTR c = 0; c < copied && c < length; ++c) {
            entry += wide[c] < 0x80 ? static_cast<char>(wide[c]) : '?';
        }
        entries.push_back(entry);
    }
    return entries;
}

// SB_GETTEXT writes into the caller's memory, which for another process means memory
// allocated in that process and read back from it.
std::optional<std::string> statusText(Driver& driver) {
    HWND bar = controlOf(driver, kStatusBarId);
    LRESULT lengthAndType = 0;
    if (bar == nullptr || !send(bar, SB_GETTEXTLENGTHA, 0, 0, lengthAndType)) {
        return std::nullopt;
    }
    const size_t length = LOWORD(lengthAndType);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                 driver.processId);
    if (process == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> result;
    void* remote =
        VirtualAllocEx(process, nullptr, length + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote != nullptr) {
        LRESULT ignored = 0;
        std::string text(length + 1, '\0');
        SIZE_T read = 0;
        if (send(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(remote), ignored) &&
            ReadProcessMemory(process, remote, text.data(), text.size(), &read)) {
            text.resize(length);
            result = text;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return result;
}

struct BoxSearch {
    DWORD processId;
    HWND found;
    const char* title = kMessageCaption;
};

BOOL CALLBACK findBox(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[64] = {};
    char windowClass[16] = {};
    GetWindowTextA(window, title, sizeof(title));
    GetClassNameA(window, windowClass, sizeof(windowClass));
    if (owner == search->processId && IsWindowVisible(window) &&
        std::string(windowClass) == "#32770" && std::string(title) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND messageBox(Driver& driver) {
    BoxSearch search{driver.processId, nullptr};
    EnumWindows(&findBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK firstText(HWND child, LPARAM context) {
    char windowClass[16] = {};
    GetClassNameA(child, windowClass, sizeof(windowClass));
    if (lstrcmpiA(windowClass, "Static") == 0) {
        const std::optional<std::string> text = windowText(child);
        if (text && !text->empty()) {
            *reinterpret_cast<std::string*>(context) = *text;
            return FALSE;
        }
    }
    return TRUE;
}

std::string messageBoxText(HWND box) {
    if (const std::optional<std::string> text = windowText(GetDlgItem(box, kMessageTextId))) {
        if (!text->empty()) {
            return *text;
        }
    }
    std::string text;
    EnumChildWindows(box, &firstText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void closeMessageBox(HWND box) {
    // Posted, as a click would be: the box's own loop handles it.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

// CMake drops empty arguments; "<empty>" stands for the empty text.
std::string textArgument(const std::string& text) {
    return text == "<empty>" ? std::string() : text;
}

int number(const std::string& text) {
    return std::atoi(text.c_str());
}

// The prefix's folder as a Windows path, and a port's name as its link there is named.
bool winePrefix(Driver& driver, const std::string& port, std::string& folder, std::string& name) {
    char prefix[MAX_PATH] = {};
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof(prefix)) == 0) {
        driver.lastSeen = "no WINEPREFIX: not under Wine";
        return false;
    }
    folder = "Z:" + std::string(prefix);
    name = port;
    CharLowerBuffA(name.data(), static_cast<DWORD>(name.size()));
    return true;
}

using Args = std::vector<std::string>;
struct Step {
    size_t argumentCount;
    std::function<bool(Driver&, const Args&)> run;
};

bool sameText(Driver& driver, const std::optional<std::string>& seen, const std::string& want,
              bool prefixOnly) {
    driver.lastSeen = seen ? "'" + *seen + "'" : "(nothing)";
    if (!seen) {
        return false;
    }
    return prefixOnly ? seen->rfind(want, 0) == 0 : *seen == want;
}

const std::map<std::string, Step>& steps() {
    static const std::map<std::string, Step> table = {
        // wait-window SECONDS: the program's window is up and has answered once.
        {"wait-window",
         {1,
          [](Driver& d, const Args& a) {
              d.stepTimeoutMs = static_cast<DWORD>(number(a[0])) * 1000;
              const bool found = eventually(d, [&] {
                  d.main = FindWindowA(nullptr, kWindowTitle);
                  LRESULT ignored = 0;
                  return d.main != nullptr && send(d.main, WM_NULL, 0, 0, ignored);
              });
              d.stepTimeoutMs = 20000;
              if (found) {
                  GetWindowThreadProcessId(d.main, &d.processId);
              }
              d.lastSeen = "no window titled '" + std::string(kWindowTitle) + "'";
              return found;
          }}},
        // timeout SECONDS: the time each later check may take.
        {"timeout",
         {1,
          [](Driver& d, const Args& a) {
              d.stepTimeoutMs = static_cast<DWORD>(number(a[0])) * 1000;
              return true;
          }}},
        {"sleep",
         {1,
          [](Driver&, const Args& a) {
              Sleep(static_cast<DWORD>(number(a[0])));
              return true;
          }}},
        // ports-include NAME: PortList lists NAME.
        {"ports-include",
         {1,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  const std::vector<std::string> entries = portEntries(d);
                  d.lastSeen.clear();
                  for (const std::string& entry : entries) {
                      d.lastSeen += "'" + entry + "' ";
                      if (entry == a[0]) {
                          return true;
                      }
                  }
                  return false;
              });
          }}},
        // choose-port NAME: chooses the entry as the user would from the open list.
        {"choose-port",
         {1,
          [](Driver& d, const Args& a) {
              // The list fills after the window appears, once the ports are probed.
              size_t index = 0;
              d.lastSeen = "no entry '" + a[0] + "'";
              const bool listed = eventually(d, [&] {
                  const std::vector<std::string> entries = portEntries(d);
                  for (index = 0; index < entries.size(); ++index) {
                      if (entries[index] == a[0]) {
                          return true;
                      }
                  }
                  return false;
              });
              if (!listed) {
                  return false;
              }
              HWND list = controlOf(d, kPortListId);
              LRESULT ignored = 0;
              send(list, CB_SETCURSEL, WPARAM(index), 0, ignored);
              return PostMessageA(d.main, WM_COMMAND, MAKEWPARAM(kPortListId, CBN_SELCHANGE),
                                  reinterpret_cast<LPARAM>(list)) != FALSE;
          }}},
        // click ID: a press of a button or a click on a check box. Posted, so that a
        // handler that shows a message box does not hold the driver.
        {"click",
         {1,
          [](Driver& d, const Args& a) {
              HWND control = controlOf(d, number(a[0]));
              d.lastSeen = "no control " + a[0];
              return control != nullptr && PostMessageA(control, BM_CLICK, 0, 0) != FALSE;
          }}},
        // set-text ID TEXT: types TEXT into a field (replacing what it held).
        {"set-text",
         {2,
          [](Driver& d, const Args& a) {
              HWND control = controlOf(d, number(a[0]));
              LRESULT done = 0;
              d.lastSeen = "no control " + a[0];
              return control != nullptr &&
                     send(control, WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(textArgument(a[1]).c_str()), done);
          }}},
        // wait-idle: the program has finished what it was doing (or shows a message box).
        {"wait-idle",
         {0,
          [](Driver& d, const Args&) {
              LRESULT ignored = 0;
              d.lastSeen = "the program does not answer";
              return send(d.main, WM_NULL, 0, 0, ignored);
          }}},
        {"expect-text",
         {2,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  return sameText(d, windowText(controlOf(d, number(a[0]))), textArgument(a[1]),
                                  false);
              });
          }}},
        {"expect-text-prefix",
         {2,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  return sameText(d, windowText(controlOf(d, number(a[0]))), textArgument(a[1]),
                                  true);
              });
          }}},
        {"expect-status",
         {1,
          [](Driver& d, const Args& a) {
              return eventually(
                  d, [&] { return sameText(d, statusText(d), textArgument(a[0]), false); });
          }}},
        {"expect-status-prefix",
         {1,
          [](Driver& d, const Args& a) {
              return eventually(
                  d, [&] { return sameText(d, statusText(d), textArgument(a[0]), true); });
          }}},
        // expect-check ID 0|1
        {"expect-check",
         {2,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  LRESULT state = -1;
                  HWND control = controlOf(d, number(a[0]));
                  if (control == nullptr || !send(control, BM_GETCHECK, 0, 0, state)) {
                      d.lastSeen = "no check box " + a[0];
                      return false;
                  }
                  d.lastSeen = std::to_string(state);
                  return (state == BST_CHECKED ? 1 : 0) == number(a[1]);
              });
          }}},
        {"expect-control",
         {1,
          [](Driver& d, const Args& a) {
              d.lastSeen = "no control " + a[0];
              return eventually(d, [&] { return controlOf(d, number(a[0])) != nullptr; });
          }}},
        {"expect-no-control",
         {1,
          [](Driver& d, const Args& a) {
              d.lastSeen = "control " + a[0] + " exists";
              return eventually(d, [&] { return controlOf(d, number(a[0])) == nullptr; });
          }}},
        // expect-size ID WIDTH HEIGHT: the inner size of a control; id 0 is the window.
        {"expect-size",
         {3,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  HWND window = number(a[0]) == 0 ? d.main : controlOf(d, number(a[0]));
                  RECT inner{};
                  if (window == nullptr || !GetClientRect(window, &inner)) {
                      d.lastSeen = "no window " + a[0];
                      return false;
                  }
                  d.lastSeen = std::to_string(inner.right) + " x " + std::to_string(inner.bottom);
                  return inner.right == number(a[1]) && inner.bottom == number(a[2]);
              });
          }}},
        // expect-message TEXT: a message box shows TEXT; it is then closed with OK.
        {"expect-message",
         {1,
          [](Driver& d, const Args& a) {
              HWND box = nullptr;
              d.lastSeen = "no message box";
              if (!eventually(d, [&] { return (box = messageBox(d)) != nullptr; })) {
                  return false;
              }
              const bool same = sameText(d, messageBoxText(box), textArgument(a[0]), false);
              closeMessageBox(box);
              return same && eventually(d, [&] { return !IsWindow(box); });
          }}},
        // expect-no-message: the program is idle and shows no message box.
        {"expect-no-message",
         {0,
          [](Driver& d, const Args&) {
              LRESULT ignored = 0;
              send(d.main, WM_NULL, 0, 0, ignored);
              HWND box = messageBox(d);
              d.lastSeen = box != nullptr ? "a box saying '" + messageBoxText(box) + "'" : "";
              return box == nullptr;
          }}},
        // system-command ID: an entry of the window's system menu.
        {"system-command",
         {1,
          [](Driver& d, const Args& a) {
              d.lastSeen = "the window takes no message";
              return PostMessageA(d.main, WM_SYSCOMMAND, WPARAM(number(a[0])), 0) != FALSE;
          }}},
        // file-dialog TITLE PATH: the program's file dialog of that title shows; PATH is
        // typed as the file's name and the dialog is answered with its OK button.
        {"file-dialog",
         {2,
          [](Driver& d, const Args& a) {
              BoxSearch search{d.processId, nullptr, a[0].c_str()};
              d.lastSeen = "no dialog '" + a[0] + "'";
              if (!eventually(d, [&] {
                      EnumWindows(&findBox, reinterpret_cast<LPARAM>(&search));
                      return search.found != nullptr;
                  })) {
                  return false;
              }
              // The name field of the Explorer-style dialog (cmb13), or of the older one.
              constexpr int kNameCombo = 0x47C;
              constexpr int kNameEdit = 0x480;
              HWND name = GetDlgItem(search.found, kNameCombo);
              if (name == nullptr) {
                  name = GetDlgItem(search.found, kNameEdit);
              }
              // The dialog takes Windows' separators only.
              std::string path = a[1];
              std::replace(path.begin(), path.end(), '/', '\\');
              LRESULT done = 0;
              d.lastSeen = "no name field in '" + a[0] + "'";
              return name != nullptr &&
                     send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), done) &&
                     PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(GetDlgItem(search.found, IDOK))) !=
                         FALSE;
          }}},
        // close-box: Close from the window's system menu, as its close box gives.
        {"close-box",
         {0,
          [](Driver& d, const Args&) {
              d.lastSeen = "the window takes no message";
              return PostMessageA(d.main, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
          }}},
        // expect-rect ID X Y WIDTH HEIGHT: a control's place in the window's inner area.
        {"expect-rect",
         {5,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  HWND control = controlOf(d, number(a[0]));
                  RECT rect{};
                  if (control == nullptr || !GetWindowRect(control, &rect)) {
                      d.lastSeen = "no control " + a[0];
                      return false;
                  }
                  MapWindowPoints(HWND_DESKTOP, d.main, reinterpret_cast<POINT*>(&rect), 2);
                  d.lastSeen = std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
                               std::to_string(rect.right - rect.left) + " x " +
                               std::to_string(rect.bottom - rect.top);
                  return rect.left == number(a[1]) && rect.top == number(a[2]) &&
                         rect.right - rect.left == number(a[3]) &&
                         rect.bottom - rect.top == number(a[4]);
              });
          }}},
        // expect-at-bottom ID: the control's lower edge is the window's inner lower edge.
        {"expect-at-bottom",
         {1,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  HWND control = controlOf(d, number(a[0]));
                  RECT rect{};
                  RECT inner{};
                  if (control == nullptr || !GetWindowRect(control, &rect) ||
                      !GetClientRect(d.main, &inner)) {
                      d.lastSeen = "no control " + a[0];
                      return false;
                  }
                  MapWindowPoints(HWND_DESKTOP, d.main, reinterpret_cast<POINT*>(&rect), 2);
                  d.lastSeen = "lower edge " + std::to_string(rect.bottom) + " of " +
                               std::to_string(inner.bottom);
                  return rect.bottom == inner.bottom;
              });
          }}},
        // unplug NAME: the port's device disappears, as when its adapter is pulled. Under
        // Wine the port is a link in the prefix's dosdevices folder; wine-ui-session.sh
        // makes it reach the device through the folder ports/NAME, which is moved away
        // here (Wine deletes no link that ends at a device).
        {"unplug",
         {1,
          [](Driver& d, const Args& a) {
              std::string prefix;
              std::string name;
              if (!winePrefix(d, a[0], prefix, name)) {
                  return false;
              }
              const std::string folder = prefix + "/ports/" + name;
              d.lastSeen = "no folder " + folder;
              return MoveFileA(folder.c_str(), (folder + ".unplugged").c_str()) != FALSE;
          }}},
        // plug NAME: a port made with --sim-alias-later is mapped, a new link in the
        // prefix's dosdevices folder that wine-ui-session.sh makes when asked.
        {"plug",
         {1,
          [](Driver& d, const Args& a) {
              std::string prefix;
              std::string name;
              if (!winePrefix(d, a[0], prefix, name)) {
                  return false;
              }
              HANDLE ask = CreateFileA((prefix + "/plug-" + name).c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
              if (ask != INVALID_HANDLE_VALUE) {
                  CloseHandle(ask);
              }
              // The session's watcher looks for the request twenty times a second.
              Sleep(500);
              d.lastSeen = "the request was not written";
              return ask != INVALID_HANDLE_VALUE;
          }}},
        // open-port-list: opens PortList as a click on its arrow would, and closes it again.
        {"open-port-list",
         {0,
          [](Driver& d, const Args&) {
              HWND list = controlOf(d, kPortListId);
              LRESULT ignored = 0;
              d.lastSeen = "no PortList";
              return list != nullptr && send(list, CB_SHOWDROPDOWN, TRUE, 0, ignored) &&
                     send(list, CB_SHOWDROPDOWN, FALSE, 0, ignored);
          }}},
        // ports-exclude NAME: PortList does not list NAME.
        {"ports-exclude",
         {1,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  const std::vector<std::string> entries = portEntries(d);
                  d.lastSeen = "'" + a[0] + "' listed";
                  return std::find(entries.begin(), entries.end(), a[0]) == entries.end();
              });
          }}},
        // answers-within MS: the window answers a message within MS milliseconds, as a
        // window that is served during a handler's waits does.
        {"answers-within",
         {1,
          [](Driver& d, const Args& a) {
              DWORD_PTR ignored = 0;
              const ULONGLONG start = GetTickCount64();
              const bool answered =
                  SendMessageTimeoutA(d.main, WM_NULL, 0, 0, SMTO_NORMAL,
                                      static_cast<UINT>(number(a[0])), &ignored) != 0;
              d.lastSeen =
                  answered ? ""
                           : "no answer after " + std::to_string(GetTickCount64() - start) + " ms";
              return answered && !IsHungAppWindow(d.main);
          }}},
        // expect-painted ID: nothing of the control waits to be painted.
        {"expect-painted",
         {1,
          [](Driver& d, const Args& a) {
              return eventually(d, [&] {
                  HWND control = controlOf(d, number(a[0]));
                  d.lastSeen = control == nullptr ? "no control " + a[0] : "a part unpainted";
                  return control != nullptr && !GetUpdateRect(control, nullptr, FALSE);
              });
          }}},
        // wait-closed: the program's window is gone.
        {"wait-closed",
         {0,
          [](Driver& d, const Args&) {
              d.lastSeen = "the window is still open";
              return eventually(d, [&] { return !IsWindow(d.main); });
          }}},
    };
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    Driver driver;
    const std::map<std::string, Step>& table = steps();
    for (int i = 1; i < argc;) {
        const std::string name = argv[i++];
        const auto step = table.find(name);
        if (step == table.end()) {
            std::fprintf(stderr, "tamlo-ui-driver: unknown step '%s'\n", name.c_str());
            return 2;
        }
        if (static_cast<size_t>(argc - i) < step->second.argumentCount) {
            std::fprintf(stderr, "tamlo-ui-driver: %s needs %zu argument(s)\n", name.c_str(),
                         step->second.argumentCount);
            return 2;
        }
        const Args args(argv + i, argv + i + step->second.argumentCount);
        i += static_cast<int>(step->second.argumentCount);

        std::string shown = name;
        for (const std::string& arg : args) {
            shown += " '" + arg + "'";
        }
        if (name != "wait-window" && driver.main == nullptr) {
            std::fprintf(stderr, "FAIL %s: wait-window must come first\n", shown.c_str());
            return 2;
        }
        driver.lastSeen.clear();
        if (!step->second.run(driver, args)) {
            std::printf("FAIL %s: saw %s\n", shown.c_str(), driver.lastSeen.c_str());
            // What the window showed then, to tell a lost line from a wrong port.
            if (driver.main != nullptr && IsWindow(driver.main)) {
                LRESULT chosen = CB_ERR;
                send(controlOf(driver, kPortListId), CB_GETCURSEL, 0, 0, chosen);
                const std::vector<std::string> entries = portEntries(driver);
                const std::optional<std::string> status = statusText(driver);
                std::printf("     window: port %s of %zu, status '%s'\n",
                            chosen >= 0 && static_cast<size_t>(chosen) < entries.size()
                                ? ("'" + entries[static_cast<size_t>(chosen)] + "'").c_str()
                                : "(none)",
                            entries.size(), status ? status->c_str() : "(unreadable)");
            }
            std::fflush(stdout);
            return 1;
        }
        std::printf("ok   %s\n", shown.c_str());
        std::fflush(stdout);
    }
    return 0;
}
