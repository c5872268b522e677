#include "ui/win32/form_font.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <string>

#include "ui/control_table.h"
#include "ui/win32/win32_window.h"

namespace tamlo {

namespace {

// Below this the eye no longer reads the form at ease; the fit is then left to the room
// the texts have.
constexpr LONG kSmallestHeight = 9;

std::string className(HWND control) {
    char name[32] = {};
    GetClassNameA(control, name, sizeof(name));
    return name;
}

std::string textOf(HWND control) {
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    const int copied = GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::clamp(copied, 0, length)));
    return text;
}

SIZE extentOf(HWND control, const std::string& text) {
    SIZE extent{};
    HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return extent;
}

int width(const RECT& rect) {
    return static_cast<int>(rect.right - rect.left);
}
int height(const RECT& rect) {
    return static_cast<int>(rect.bottom - rect.top);
}

// The room beyond the text's extent, by the control's own measure.
int overflowIn(const RECT& room, const SIZE& extent) {
    return std::max(static_cast<int>(extent.cx) - width(room),
                    static_cast<int>(extent.cy) - height(room));
}

// Hidden controls of each kind to measure texts in, one look each.
class Probes {
  public:
    Probes(HWND parent, HINSTANCE instance) : parent_(parent), instance_(instance) {}
    ~Probes() {
        for (const auto& [kind, control] : probes_) {
            DestroyWindow(control);
        }
        if (statusBar_ != nullptr) {
            DestroyWindow(statusBar_);
        }
    }
    Probes(const Probes&) = delete;
    Probes& operator=(const Probes&) = delete;

    // How far text overflows the control at its place in font.
    int overflow(const ControlSpec& item, std::string_view text, HFONT font) {
        HWND control = item.id == ids::StatusBar ? statusBar() : probe(item.kind);
        if (control == nullptr) {
            return 0;
        }
        if (reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)) != font) {
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        const std::string value(text);
        if (control == statusBar_) {
            SendMessageA(control, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(value.c_str()));
        } else {
            RECT size{};
            if (GetWindowRect(control, &size) && (size.right - size.left != item.place.width ||
                                                  size.bottom - size.top != item.place.height)) {
                SetWindowPos(control, nullptr, 0, 0, item.place.width, item.place.height,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            if (item.kind == ControlKind::DropDownList) {
                SendMessageA(control, CB_RESETCONTENT, 0, 0);
                SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
                SendMessageA(control, CB_SETCURSEL, 0, 0);
            } else {
                SetWindowTextA(control, value.c_str());
            }
        }
        return textOverflow(control);
    }

  private:
    HWND probe(ControlKind kind) {
        auto found = probes_.find(kind);
        if (found != probes_.end()) {
            return found->second;
        }
        const NativeKind native = nativeKind(kind);
        HWND control =
            CreateWindowExA(native.exStyle, native.windowClass, "", WS_CHILD | native.style, 0, 0,
                            10, 10, parent_, nullptr, instance_, nullptr);
        probes_[kind] = control;
        return control;
    }
    HWND statusBar() {
        if (statusBar_ == nullptr) {
            statusBar_ = CreateStatusWindowA(WS_CHILD, "", parent_, 0);
            int rightEdges[1] = {-1};
            SendMessageA(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(rightEdges));
            SendMessageA(statusBar_, WM_SIZE, 0, 0);
        }
        return statusBar_;
    }

    HWND parent_;
    HINSTANCE instance_;
    std::map<ControlKind, HWND> probes_;
    HWND statusBar_ = nullptr;
};

bool everyTextFits(Probes& probes, HFONT font) {
    for (const ShownText& shown : shownTexts()) {
        if (probes.overflow(shown.control, shown.text, font) > 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

int textOverflow(HWND control) {
    const std::string name = className(control);
    RECT client{};
    GetClientRect(control, &client);
    if (lstrcmpiA(name.c_str(), "Button") == 0) {
        // A button or check box says how large it must be for its text and its box.
        SIZE ideal{};
        if (SendMessageA(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal))) {
            return std::max(static_cast<int>(ideal.cx) - width(client),
                            static_cast<int>(ideal.cy) - height(client));
        }
        return overflowIn(client, extentOf(control, textOf(control)));
    }
    if (lstrcmpiA(name.c_str(), "Edit") == 0) {
        RECT formatting{};
        SendMessageA(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&formatting));
        return overflowIn(formatting, extentOf(control, textOf(control)));
    }
    if (lstrcmpiA(name.c_str(), "ComboBox") == 0) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        GetComboBoxInfo(control, &info);
        const LRESULT chosen = SendMessageA(control, CB_GETCURSEL, 0, 0);
        std::string text;
        if (chosen != CB_ERR) {
            text.resize(static_cast<size_t>(
                std::max<LRESULT>(SendMessageA(control, CB_GETLBTEXTLEN, chosen, 0), 0) + 1));
            const LRESULT copied =
                SendMessageA(control, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
        }
        return overflowIn(info.rcItem, extentOf(control, text));
    }
    if (lstrcmpiA(name.c_str(), STATUSCLASSNAMEA) == 0) {
        RECT field{};
        SendMessageA(control, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&field));
        const LRESULT length = SendMessageA(control, SB_GETTEXTLENGTHA, 0, 0);
        std::string text(static_cast<size_t>(LOWORD(length)) + 1, '\0');
        SendMessageA(control, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
        text.resize(LOWORD(length));
        // The field draws its text a few pixels in from its border.
        constexpr int kFieldPadding = 3;
        InflateRect(&field, -kFieldPadding, 0);
        return static_cast<int>(extentOf(control, text).cx) - width(field);
    }
    // A label: its text from the left edge of its inner area.
    return overflowIn(client, extentOf(control, textOf(control)));
}

HFONT makeFormFont(HWND parent, HINSTANCE instance, bool& owned) {
    owned = false;
    auto* system = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA font{};
    if (GetObjectA(system, sizeof(font), &font) == 0) {
        return system;
    }
    Probes probes(parent, instance);
    if (everyTextFits(probes, system)) {
        return system;
    }
    // A negative height is the character height, a positive one the cell height; either
    // way the font shrinks as the number comes nearer to zero.
    const LONG sign = font.lfHeight < 0 ? -1 : 1;
    for (LONG magnitude = std::labs(font.lfHeight) - 1; magnitude >= kSmallestHeight; --magnitude) {
        font.lfHeight = sign * magnitude;
        HFONT candidate = CreateFontIndirectA(&font);
        if (candidate == nullptr) {
            break;
        }
        if (everyTextFits(probes, candidate) || magnitude == kSmallestHeight) {
            owned = true;
            return candidate;
        }
        DeleteObject(candidate);
    }
    return system;
}

}  // namespace tamlo
