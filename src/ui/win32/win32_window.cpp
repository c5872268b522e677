#include "ui/win32/win32_window.h"

#include <commctrl.h>
#include <commdlg.h>
// The GUIDs of the accessibility annotations are defined here, once.
#include <initguid.h>
#include <oleacc.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "trace/image.h"
#include "ui/win32/form_font.h"

namespace tamlo {
namespace {

constexpr const char* kWindowClass = "TamloConfiguratorMainWindow";
// A caption with the system menu (close box) and a minimise box; no maximise box and no
// sizing border, so the user cannot change the size.
constexpr DWORD kMainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kMainExStyle = 0;
// The drawing area of the status bar, without its borders.
constexpr int kStatusBarMinHeight = kStatusBarMinTextHeight;

HMENU idAsMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

RECT outerRect(int innerWidth, int innerHeight, DWORD style, DWORD exStyle) {
    RECT rect{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

RECT rectInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Windows takes a drop-down list's closed height from its font; the form was laid out with
// a closed height of its own. The selection field is resized until the closed box has it
// (in two steps, as Windows and Wine count the field's height differently).
void fitClosedHeight(HWND list, int closedHeight) {
    LRESULT field = SendMessageA(list, CB_GETITEMHEIGHT, WPARAM(-1), 0);
    for (int step = 0; step < 2 && field != CB_ERR; ++step) {
        const RECT closed = rectInParent(list);
        const int shortBy = closedHeight - static_cast<int>(closed.bottom - closed.top);
        if (shortBy == 0 || field + shortBy <= 0) {
            break;
        }
        // Adjusted from the height last set, not from what the control reports back.
        field += shortBy;
        SendMessageA(list, CB_SETITEMHEIGHT, WPARAM(-1), field);
    }
}

// The list below the box is laid out again for the new field, so that box and list
// together stay 350 pixels high; Wine takes its closed height from the font once more
// when resized, hence the second fit.
void fitDropDownList(HWND list, int closedHeight) {
    fitClosedHeight(list, closedHeight);
    const RECT closed = rectInParent(list);
    SetWindowPos(list, nullptr, 0, 0, closed.right - closed.left, kPortListOpenHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitClosedHeight(list, closedHeight);
}

// The opened list is as wide as its widest entry, with the scroll bar beside it, up to the
// screen's width; never narrower than the box.
void fitDroppedWidth(HWND list) {
    const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    HDC dc = GetDC(list);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, WPARAM(i), 0);
        if (length <= 0) {
            continue;
        }
        std::string entry(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(list, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(entry.data()));
        SIZE extent{};
        GetTextExtentPoint32A(dc, entry.c_str(), static_cast<int>(length), &extent);
        widest = std::max(widest, extent.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    const int wanted =
        static_cast<int>(widest) + GetSystemMetrics(SM_CXVSCROLL) + 4 * GetSystemMetrics(SM_CXEDGE);
    SendMessageA(list, CB_SETDROPPEDWIDTH, WPARAM(std::min(wanted, GetSystemMetrics(SM_CXSCREEN))),
                 0);
}

}  // namespace

NativeKind nativeKind(ControlKind kind) {
    switch (kind) {
        case ControlKind::EditField:
            return {"Edit", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            return {"Static", SS_LEFT, 0};
        case ControlKind::BorderedLabel:
            return {"Static", SS_LEFT, WS_EX_CLIENTEDGE};
        case ControlKind::PushButton:
            return {"Button", WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::DropDownList:
            // No integral height: the opened list takes the full 350 pixels, not a whole
            // number of entries.
            return {"ComboBox", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_NOINTEGRALHEIGHT,
                    0};
        case ControlKind::CheckBox:
            return {"Button", WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::ImageControl:
            return {"STATIC", SS_BITMAP, 0};
    }
    return {"Static", SS_LEFT, 0};
}

Win32Window::Win32Window(HINSTANCE instance) : instance_(instance) {
    // Without a program connected, the close box just closes the window.
    setEvents({});
}

Win32Window::~Win32Window() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    if (shortcuts_ != nullptr) {
        DestroyAcceleratorTable(shortcuts_);
    }
    releaseFormFont();
    releaseTraceBitmap();
    if (accessibility_ != nullptr) {
        accessibility_->Release();
    }
}

void Win32Window::setEvents(WindowEvents events) {
    events_ = std::move(events);
    WindowEvents gated = events_;
    gated.closeBox = [this] { runCloseBox(); };
    gate_.setEvents(std::move(gated));
}

void Win32Window::runCloseBox() {
    if (events_.closeBox) {
        events_.closeBox();
    } else {
        closeWindow();
    }
}

void Win32Window::serveWhileBusy() {
    if (window_ == nullptr) {
        return;
    }
    // A zero wait lets the window system's driver take in what it has for the thread
    // (under Wine: the X server's expose events and the desktop's pings) without taking a
    // message off the queue.
    MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_PAINT | QS_SENDMESSAGE | QS_POSTMESSAGE, 0);
    // Paint messages only, and the messages other threads send, which PeekMessage answers
    // by itself. Clicks, keys and TraceTimer's WM_TIMER stay where they are. A window that
    // never validates itself must not keep the pause here.
    MSG message{};
    for (int i = 0; i < 64 && PeekMessageA(&message, nullptr, 0, 0,
                                           PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE);
         ++i) {
        DispatchMessageA(&message);
    }
}

void Win32Window::nameForScreenReaders(HWND control, int id) {
    const std::string_view name = accessibleName(id);
    if (name.empty()) {
        return;
    }
    if (!accessibilityTried_) {
        accessibilityTried_ = true;
        void* services = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IAccPropServices, &services))) {
            accessibility_ = static_cast<IAccPropServices*>(services);
        }
    }
    if (accessibility_ == nullptr) {
        return;
    }
    // The label texts are plain ASCII.
    const std::wstring wide(name.begin(), name.end());
    accessibility_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                   PROPID_ACC_NAME, wide.c_str());
}

HWND Win32Window::control(int id) const {
    return window_ != nullptr ? GetDlgItem(window_, id) : nullptr;
}

bool Win32Window::openMainWindow() {
    if (window_ != nullptr) {
        return true;
    }
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Win32Window::windowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(kIconResourceId));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(instance_, MAKEINTRESOURCEA(kIconResourceId), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kWindowClass;
    // A second window of the same program (tests make several) finds the class registered.
    if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    // The outer size is clamped to the screen, then the window is centred on it.
    const RECT outer = outerRect(kInnerWidth, kInnerHeight, kMainStyle, kMainExStyle);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int width = std::min<int>(outer.right - outer.left, screenWidth);
    const int height = std::min<int>(outer.bottom - outer.top, screenHeight);
    const std::string title(kWindowTitle);
    HWND window = CreateWindowExA(kMainExStyle, kWindowClass, title.c_str(), kMainStyle,
                                  (screenWidth - width) / 2, (screenHeight - height) / 2, width,
                                  height, nullptr, nullptr, instance_, this);
    if (window == nullptr) {
        return false;
    }
    releaseFormFont();
    formFont_ = makeFormFont(window, instance_, ownsFormFont_);
    addFormCommands(window);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return true;
}

bool Win32Window::createStatusBar() {
    if (window_ == nullptr) {
        return false;
    }
    statusBar_ = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", window_, ids::StatusBar);
    if (statusBar_ == nullptr) {
        return false;
    }
    useFormFont(statusBar_);
    SendMessageA(statusBar_, SB_SETMINHEIGHT, kStatusBarMinHeight, 0);
    // One field across the whole width: -1 lets it reach the right edge.
    int rightEdges[1] = {-1};
    SendMessageA(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(rightEdges));
    SendMessageA(statusBar_, WM_SIZE, 0, 0);
    return true;
}

void Win32Window::createControl(const ControlSpec& item) {
    if (window_ == nullptr) {
        return;
    }
    destroyControl(item.id);

    const NativeKind native = nativeKind(item.kind);
    // A drop-down list is created as high as it is with its list open; Windows takes the
    // closed height from the font.
    const int height =
        item.kind == ControlKind::DropDownList ? kPortListOpenHeight : item.place.height;
    const std::string text(item.text);
    HWND control = CreateWindowExA(native.exStyle, native.windowClass, text.c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | native.style,
                                   item.place.x, item.place.y, item.place.width, height, window_,
                                   idAsMenu(item.id), instance_, nullptr);
    if (control == nullptr) {
        return;
    }
    kinds_[item.id] = item.kind;
    useFormFont(control);
    // A screen reader names a field after the label before it in the creation order; here
    // the labels come after their fields, so each field is given its label's text.
    nameForScreenReaders(control, item.id);

    if (item.kind == ControlKind::DropDownList) {
        fitDropDownList(control, item.place.height);
    }
    keepLabelsUnderFields();
}

void Win32Window::keepLabelsUnderFields() {
    // Labels never cover a control the user types into or clicks: AudioLevelField lies
    // exactly on AudioLevelFrame. Moving a label down the z-order leaves the Tab order,
    // which only counts controls that take focus, as it was.
    std::vector<HWND> focusTaking;
    std::vector<HWND> labels;
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (child != statusBar_) {
            (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP ? focusTaking : labels).push_back(child);
        }
    }
    for (HWND label : labels) {
        const RECT labelRect = rectInParent(label);
        for (HWND field : focusTaking) {
            RECT overlap{};
            const RECT fieldRect = rectInParent(field);
            if (IntersectRect(&overlap, &labelRect, &fieldRect)) {
                SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                break;
            }
        }
    }
}

void Win32Window::destroyControl(int id) {
    HWND existing = control(id);
    if (existing == nullptr || existing == statusBar_) {
        return;
    }
    if (accessibility_ != nullptr) {
        MSAAPROPID name = PROPID_ACC_NAME;
        accessibility_->ClearHwndProps(existing, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       &name, 1);
    }
    DestroyWindow(existing);
    kinds_.erase(id);
    if (id == ids::TraceImage) {
        releaseTraceBitmap();
    }
}

bool Win32Window::hasControl(int id) const {
    return control(id) != nullptr;
}

std::string Win32Window::controlText(int id) {
    HWND handle = control(id);
    if (handle == nullptr) {
        return {};
    }
    const auto kind = kinds_.find(id);
    if (kind != kinds_.end() && kind->second == ControlKind::DropDownList) {
        const LRESULT chosen = SendMessageA(handle, CB_GETCURSEL, 0, 0);
        if (chosen == CB_ERR) {
            return {};
        }
        const LRESULT length = SendMessageA(handle, CB_GETLBTEXTLEN, WPARAM(chosen), 0);
        if (length == CB_ERR || length < 0) {
            return {};
        }
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        const LRESULT copied = SendMessageA(handle, CB_GETLBTEXT, WPARAM(chosen),
                                            reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? std::min<std::size_t>(static_cast<std::size_t>(copied),
                                                       static_cast<std::size_t>(length))
                               : 0);
        return text;
    }
    const int length = GetWindowTextLengthA(handle);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(handle, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::clamp(copied, 0, length)));
    return text;
}

void Win32Window::setControlText(int id, std::string_view text) {
    if (id == ids::StatusBar) {
        setStatusText(text);
        return;
    }
    HWND handle = control(id);
    if (handle == nullptr) {
        return;
    }
    const std::string value(text);
    const auto kind = kinds_.find(id);
    if (kind != kinds_.end() && kind->second == ControlKind::DropDownList) {
        // A choose-only list has no free text: choose the entry of that name, if any.
        const LRESULT found = SendMessageA(handle, CB_FINDSTRINGEXACT, WPARAM(-1),
                                           reinterpret_cast<LPARAM>(value.c_str()));
        SendMessageA(handle, CB_SETCURSEL, found == CB_ERR ? WPARAM(-1) : WPARAM(found), 0);
        return;
    }
    SetWindowTextA(handle, value.c_str());
}

int32_t Win32Window::controlState(int id) {
    const auto kind = kinds_.find(id);
    if (kind == kinds_.end() || kind->second != ControlKind::CheckBox) {
        return 0;
    }
    HWND handle = control(id);
    if (handle == nullptr) {
        return 0;
    }
    return SendMessageA(handle, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void Win32Window::setControlState(int id, int32_t state) {
    const auto kind = kinds_.find(id);
    if (kind == kinds_.end() || kind->second != ControlKind::CheckBox) {
        return;
    }
    HWND handle = control(id);
    if (handle != nullptr) {
        SendMessageA(handle, BM_SETCHECK, state != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void Win32Window::clearPortList() {
    if (HWND list = control(ids::PortList)) {
        SendMessageA(list, CB_RESETCONTENT, 0, 0);
    }
}

void Win32Window::appendPortList(std::string_view name) {
    if (HWND list = control(ids::PortList)) {
        const std::string entry(name);
        SendMessageA(list, CB_INSERTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(entry.c_str()));
    }
}

void Win32Window::setStatusText(std::string_view text) {
    if (statusBar_ == nullptr) {
        return;
    }
    const std::string value(text);
    SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(value.c_str()));
    // Painted now: the handler that set it goes on to wait on the receiver.
    UpdateWindow(statusBar_);
}

bool Win32Window::setInnerHeight(int height) {
    if (window_ == nullptr || height <= 0) {
        return false;
    }
    RECT inner{};
    if (!GetClientRect(window_, &inner)) {
        return false;
    }
    // The outer size follows from the window's own style; the top-left corner stays.
    const RECT outer = outerRect(inner.right - inner.left, height,
                                 static_cast<DWORD>(GetWindowLongA(window_, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongA(window_, GWL_EXSTYLE)));
    return SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

void Win32Window::createTraceImage(const Image& image) {
    if (window_ == nullptr) {
        return;
    }
    destroyControl(ids::TraceImage);
    HWND control =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP,
                        kTraceImagePlace.x, kTraceImagePlace.y, image.width(), image.height(),
                        window_, idAsMenu(ids::TraceImage), instance_, nullptr);
    if (control == nullptr) {
        return;
    }
    kinds_[ids::TraceImage] = ControlKind::ImageControl;
    setTraceImage(image);
}

void Win32Window::setTraceImage(const Image& image) {
    HWND control = this->control(ids::TraceImage);
    if (control == nullptr) {
        return;
    }
    HBITMAP bitmap = makeTraceBitmap(image);
    if (bitmap == nullptr) {
        return;  // the control keeps showing the image it had
    }
    // The control hands back what it showed before. A static control deletes none of its
    // bitmaps, and one that made a copy of ours returns the copy: both are ours to delete,
    // or a trace running for hours would use up the process's GDI handles.
    HBITMAP previous = reinterpret_cast<HBITMAP>(
        SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous != nullptr && previous != bitmap && previous != traceBitmap_) {
        DeleteObject(previous);
    }
    if (traceBitmap_ != nullptr && traceBitmap_ != bitmap) {
        DeleteObject(traceBitmap_);
    }
    traceBitmap_ = bitmap;
}

void Win32Window::addFormCommands(HWND window) {
    // In the system menu, above Close: the form has no menu bar, and no control of its own
    // may be added to it.
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu != nullptr) {
        InsertMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, kSaveSettingsCommand,
                    "&Save settings...\tCtrl+S");
        InsertMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, kOpenSettingsCommand,
                    "&Open settings...\tCtrl+O");
        InsertMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
    }
    if (shortcuts_ == nullptr) {
        ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'S', kSaveSettingsCommand},
                        {FCONTROL | FVIRTKEY, 'O', kOpenSettingsCommand}};
        shortcuts_ = CreateAcceleratorTableA(keys, 2);
    }
}

bool Win32Window::translateShortcut(MSG& message) {
    return window_ != nullptr && shortcuts_ != nullptr &&
           TranslateAcceleratorA(window_, shortcuts_, &message) != 0;
}

ChosenFile Win32Window::chooseSettingsFile(FileDialog dialog) {
    if (window_ == nullptr) {
        return {};
    }
    const bool save = dialog == FileDialog::Save;
    // A long path, as the Explorer-style dialog allows.
    std::string path(32768, '\0');
    if (save) {
        path.replace(0, 13, "settings.toml");
    }
    OPENFILENAMEA file{};
    file.lStructSize = sizeof(file);
    file.hwndOwner = window_;
    file.lpstrFilter = "Settings files (*.toml, *.json)\0*.toml;*.json\0All files (*.*)\0*.*\0";
    file.lpstrFile = path.data();
    file.nMaxFile = static_cast<DWORD>(path.size());
    file.lpstrTitle = save ? "Save settings" : "Open settings";
    file.lpstrDefExt = "toml";
    file.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    // Like a message box: TraceTimer ticks on, the form waits.
    WindowEventGate::ModalScope modal(gate_);
    if (!(save ? GetSaveFileNameA(&file) : GetOpenFileNameA(&file))) {
        return {};
    }
    path.resize(std::strlen(path.c_str()));
    return {path, path.substr(std::min<size_t>(file.nFileOffset, path.size()))};
}

void Win32Window::useFormFont(HWND control) const {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont()), FALSE);
}

void Win32Window::releaseFormFont() {
    if (ownsFormFont_ && formFont_ != nullptr) {
        DeleteObject(formFont_);
    }
    formFont_ = nullptr;
    ownsFormFont_ = false;
}

void Win32Window::releaseTraceBitmap() {
    if (traceBitmap_ != nullptr) {
        DeleteObject(traceBitmap_);
        traceBitmap_ = nullptr;
    }
}

void Win32Window::showMessage(std::string_view caption, std::string_view text) {
    const std::string captionText(caption);
    const std::string messageText(text);
    // Modal over MainWindow; its message loop goes on delivering TraceTimer's ticks.
    WindowEventGate::ModalScope modal(gate_);
    MessageBoxA(window_, messageText.c_str(), captionText.c_str(), MB_OK);
}

void Win32Window::startTraceTimer() {
    gate_.dropPendingExpiry();
    if (window_ != nullptr) {
        // Setting an existing timer again restarts its period.
        SetTimer(window_, kTraceTimerId, static_cast<UINT>(kTraceTimerPeriodMs),
                 &Win32Window::timerProc);
    }
}

void Win32Window::stopTraceTimer() {
    gate_.dropPendingExpiry();
    if (window_ != nullptr) {
        KillTimer(window_, kTraceTimerId);
    }
}

void Win32Window::closeWindow() {
    if (window_ == nullptr) {
        return;
    }
    KillTimer(window_, kTraceTimerId);
    DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<Win32Window*>(create->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = hwnd;
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The children are gone by now; so is the window as far as the program is concerned.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->statusBar_ = nullptr;
        self->kinds_.clear();
        self->releaseTraceBitmap();
        // Released with the window, before the program's end takes COM down.
        if (self->accessibility_ != nullptr) {
            self->accessibility_->Release();
            self->accessibility_ = nullptr;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return self->onMessage(hwnd, message, wParam, lParam);
}

void CALLBACK Win32Window::timerProc(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && id == kTraceTimerId) {
        self->gate_.traceTimerExpired();
    }
}

LRESULT Win32Window::onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(wParam, lParam);
            return 0;
        case WM_CLOSE:
            // Not DefWindowProc: the program runs its exit sequence, which closes the window;
            // sent by another program during a handler, it waits for the handler's end.
            gate_.closeBox();
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == kSaveSettingsCommand ||
                (wParam & 0xFFF0) == kOpenSettingsCommand) {
                gate_.formCommand((wParam & 0xFFF0) == kSaveSettingsCommand
                                      ? FormCommand::SaveSettings
                                      : FormCommand::OpenSettings);
                return 0;
            }
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_QUERYENDSESSION:
            // The user logs off or shuts down. A handler under way (a STORE) is never cut:
            // the session is asked to wait until it is done.
            return gate_.handlerRunning() ? FALSE : TRUE;
        case WM_ENDSESSION:
            // No WM_CLOSE follows, and the process may end as soon as this returns: the
            // close box's exit sequence releases the port now, even if a handler or its
            // message box is still open and the close box would otherwise wait for it.
            if (wParam != FALSE) {
                if (gate_.holding()) {
                    runCloseBox();
                } else {
                    gate_.closeBox();
                }
            }
            return 0;
        case WM_SIZE:
            if (statusBar_ != nullptr) {
                SendMessageA(statusBar_, WM_SIZE, 0, 0);  // it keeps to the bottom edge
            }
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void Win32Window::onCommand(WPARAM wParam, LPARAM lParam) {
    // Ctrl+S and Ctrl+O come as accelerators, without a control.
    if (lParam == 0) {
        if (HIWORD(wParam) == 1 &&
            (LOWORD(wParam) == kSaveSettingsCommand || LOWORD(wParam) == kOpenSettingsCommand)) {
            gate_.formCommand(LOWORD(wParam) == kSaveSettingsCommand ? FormCommand::SaveSettings
                                                                     : FormCommand::OpenSettings);
        }
        return;
    }
    const int id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    const auto kind = kinds_.find(id);
    if (kind == kinds_.end() || reinterpret_cast<HWND>(lParam) != control(id)) {
        return;
    }
    // Controls notify of focus, drop-downs and edits too; only a press, a click or a new
    // choice is an event of the program. Enter in the form arrives as IDOK (1), which is
    // ChannelField1's id, from an edit field: that is no event either.
    bool isEvent = false;
    switch (kind->second) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
            isEvent = code == BN_CLICKED;
            break;
        case ControlKind::DropDownList:
            isEvent = code == CBN_SELCHANGE;
            if (code == CBN_DROPDOWN) {
                // The list is brought up to date before it shows, and opens as wide as
                // its widest entry.
                gate_.portListOpening();
                fitDroppedWidth(reinterpret_cast<HWND>(lParam));
            }
            break;
        default:
            break;
    }
    if (isEvent) {
        gate_.controlEvent(id);
    }
}

HBITMAP makeTraceBitmap(const Image& image) {
    const int width = image.width();
    const int height = image.height();
    const std::vector<uint8_t>& rgb = image.rgb();
    if (width <= 0 || height <= 0 ||
        rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        return nullptr;
    }
    // Rows are padded to four bytes; pixels are stored blue, green, red.
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    auto* out = static_cast<uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        uint8_t* to = out + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return bitmap;
}

}  // namespace tamlo
