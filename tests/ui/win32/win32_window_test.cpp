// The native window: its controls as Windows sees them, their texts and states, the
// events that reach the program, the status bar, the two heights, TraceTimer, message boxes
// and the trace image's bitmaps. Needs a display (Xvfb under Wine).
#include "ui/win32/win32_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "trace/image.h"
#include "ui/win32/form_font.h"
#include "window_contract.h"

namespace tamlo {
namespace {

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

RECT rectIn(HWND parent, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

Rect asRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool takesFocus(ControlKind kind) {
    return kind == ControlKind::EditField || kind == ControlKind::PushButton ||
           kind == ControlKind::DropDownList || kind == ControlKind::CheckBox;
}

// The pixels a bitmap holds, as rows from the top, red-green-blue.
std::vector<uint8_t> bitmapPixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> raw(stride * height);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, height, raw.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<uint8_t> rgb;
    if (rows != height) {
        return rgb;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = raw.data() + y * stride + 3 * x;
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    }
    return rgb;
}

// The native window against the contract every window keeps, read back from its handles.
class Win32Backend {
  public:
    Win32Backend() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        window_.setEvents({.controlEvent = {}, .traceTimer = [this] { ++ticks_; }, .closeBox = {}});
    }

    Window& window() { return window_; }

    int countAt(const ControlSpec& item) const {
        int count = 0;
        for (HWND child = GetWindow(window_.handle(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            count += GetDlgCtrlID(child) == item.id &&
                     asRect(rectIn(window_.handle(), child)) == item.place;
        }
        return count;
    }
    std::optional<ControlKind> kindOf(int id) const {
        HWND handle = window_.control(id);
        if (handle == nullptr) {
            return std::nullopt;
        }
        const std::string name = className(handle);
        const LONG style = GetWindowLongA(handle, GWL_STYLE);
        if (name == "Edit") {
            return ControlKind::EditField;
        }
        if (name == "ComboBox") {
            return ControlKind::DropDownList;
        }
        if (name == "Button") {
            return (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? ControlKind::CheckBox
                                                            : ControlKind::PushButton;
        }
        if (name == "Static") {
            if ((style & SS_TYPEMASK) == SS_BITMAP) {
                return ControlKind::ImageControl;
            }
            return GetWindowLongA(handle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE
                       ? ControlKind::BorderedLabel
                       : ControlKind::Label;
        }
        return std::nullopt;
    }
    std::optional<Rect> placeOf(int id) const {
        HWND handle = window_.control(id);
        return handle == nullptr ? std::nullopt
                                 : std::optional(asRect(rectIn(window_.handle(), handle)));
    }
    std::vector<std::string> portEntries() const {
        std::vector<std::string> entries;
        HWND list = window_.control(ids::PortList);
        const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char entry[256] = {};
            SendMessageA(list, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(entry));
            entries.emplace_back(entry);
        }
        return entries;
    }
    void choosePort(size_t index) {
        SendMessageA(window_.control(ids::PortList), CB_SETCURSEL, WPARAM(index), 0);
    }
    std::string statusText() const {
        char text[256] = {};
        SendMessageA(window_.control(ids::StatusBar), SB_GETTEXTA, 0,
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    Rect frame() const {
        RECT outer{};
        RECT inner{};
        GetWindowRect(window_.handle(), &outer);
        GetClientRect(window_.handle(), &inner);
        return {outer.left, outer.top, inner.right, inner.bottom};
    }
    std::vector<uint8_t> shownImage() const {
        HWND image = window_.control(ids::TraceImage);
        if (image == nullptr) {
            return {};
        }
        return bitmapPixels(
            reinterpret_cast<HBITMAP>(SendMessageA(image, STM_GETIMAGE, IMAGE_BITMAP, 0)),
            Image::kWidth, Image::kHeight);
    }
    // Windows cannot be asked whether a timer is set: wait a period and see whether it ticked.
    bool timerRunning() {
        const int before = ticks_;
        const ULONGLONG end = GetTickCount64() + kTraceTimerPeriodMs + 200;
        while (GetTickCount64() < end) {
            MSG message{};
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(5);
        }
        return ticks_ > before;
    }

    // As the dialog keys move the focus.
    std::vector<int> tabOrderFrom(int id) const {
        std::vector<int> stops;
        HWND start = window_.control(id);
        HWND stop = start;
        do {
            stops.push_back(GetDlgCtrlID(stop));
            stop = GetNextDlgTabItem(window_.handle(), stop, FALSE);
        } while (stop != nullptr && stop != start && stops.size() < 64);
        return stops;
    }

  private:
    Win32Window window_{GetModuleHandleA(nullptr)};
    int ticks_ = 0;
};

class Win32WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        window = std::make_unique<Win32Window>(GetModuleHandleA(nullptr));
        window->setEvents({
            .controlEvent = [this](int id) { events.push_back(id); },
            .traceTimer = [this] { ++ticks; },
            .closeBox = [this] { ++closeBoxes; },
        });
        ASSERT_TRUE(window->openMainWindow());
        ASSERT_TRUE(window->createStatusBar());
        for (const ControlSpec& item : fixedControls()) {
            window->createControl(item);
        }
        pump(50);
    }

    void TearDown() override {
        window.reset();
        pump(10);
    }

    // Runs the program's message loop for ms milliseconds.
    void pump(int ms) {
        const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
        do {
            MSG message{};
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (window && window->isOpen() && IsDialogMessageA(main(), &message)) {
                    continue;
                }
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(5);
        } while (GetTickCount64() < end);
    }

    HWND main() const { return window->handle(); }
    HWND control(int id) const { return GetDlgItem(main(), id); }

    void createGeneration(int generation) {
        for (int id : {9, 38, 41, 42, 43}) {
            if (const ControlSpec* item = generationControl(id, generation)) {
                window->createControl(*item);
            }
        }
    }

    HBITMAP shownBitmap() const {
        return reinterpret_cast<HBITMAP>(
            SendMessageA(control(ids::TraceImage), STM_GETIMAGE, IMAGE_BITMAP, 0));
    }

    std::unique_ptr<Win32Window> window;
    std::vector<int> events;
    int ticks = 0;
    int closeBoxes = 0;
};

TEST_F(Win32WindowTest, MainWindowIsACentredFixedSizeWindowWithTitleAndIcon) {
    EXPECT_EQ(windowText(main()), kWindowTitle);
    const LONG style = GetWindowLongA(main(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    RECT inner{};
    GetClientRect(main(), &inner);
    EXPECT_EQ(inner.right, kInnerWidth);
    EXPECT_EQ(inner.bottom, kInnerHeight);

    RECT outer{};
    GetWindowRect(main(), &outer);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(outer.left, (screenWidth - (outer.right - outer.left)) / 2, 1);
    EXPECT_NEAR(outer.top, (screenHeight - (outer.bottom - outer.top)) / 2, 1);

    EXPECT_NE(GetClassLongPtrA(main(), GCLP_HICON), 0u);
    EXPECT_EQ(GetClassLongPtrA(main(), GCLP_HBRBACKGROUND),
              static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
}

// Class, place and text are the contract's; here the styles the user sees and feels.
TEST_F(Win32WindowTest, FixedControlsHaveTheNativeStylesOfTheirKinds) {
    for (const ControlSpec& item : fixedControls()) {
        SCOPED_TRACE(std::string(item.name));
        HWND handle = control(item.id);
        ASSERT_NE(handle, nullptr);
        const LONG style = GetWindowLongA(handle, GWL_STYLE);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(handle, WM_GETFONT, 0, 0)),
                  window->formFont());
        EXPECT_EQ((style & WS_TABSTOP) != 0, takesFocus(item.kind));
        switch (item.kind) {
            case ControlKind::EditField:
                EXPECT_TRUE(style & ES_AUTOHSCROLL);
                EXPECT_FALSE(style & ES_MULTILINE);
                EXPECT_TRUE(GetWindowLongA(handle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
                break;
            case ControlKind::Label:
            case ControlKind::BorderedLabel:
                EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
                break;
            case ControlKind::PushButton:
                EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
                break;
            case ControlKind::DropDownList:
                EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
                break;
            case ControlKind::CheckBox:
            case ControlKind::ImageControl:
                break;
        }
    }
}

TEST_F(Win32WindowTest, PortListOpensTo350PixelsWithItsList) {
    for (int n = 1; n <= 99; ++n) {
        window->appendPortList("COM" + std::to_string(n));
    }
    HWND list = control(ids::PortList);
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    pump(20);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(list, &info));
    RECT box{};
    RECT dropped{};
    GetWindowRect(list, &box);
    GetWindowRect(info.hwndList, &dropped);
    EXPECT_TRUE(IsWindowVisible(info.hwndList));
    // The vertical scroll bar belongs to the list that drops down.
    EXPECT_TRUE(GetWindowLongA(info.hwndList, GWL_STYLE) & WS_VSCROLL);
    // Wine lays the list out a few pixels short of what it was given.
    EXPECT_NEAR(dropped.bottom - box.top, kPortListOpenHeight, 3);
    EXPECT_EQ(box.bottom - box.top, fixedControls()[11].place.height);
    SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_TRUE(events.empty()) << "opening the list is no choice";
}

// The program brings the list up to date as it opens (here: COM1 went, a long name came);
// the list opens as wide as its widest entry.
TEST_F(Win32WindowTest, OpeningPortListLetsTheProgramBringItUpToDateFirst) {
    const std::string wide = "COM42 and a name as long as no COM port's";
    window->setEvents({.controlEvent = [this](int id) { events.push_back(id); },
                       .traceTimer = {},
                       .closeBox = {},
                       .portListOpening =
                           [&] {
                               window->clearPortList();
                               window->appendPortList(wide);
                           }});
    window->appendPortList("COM1");
    HWND list = control(ids::PortList);
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    pump(20);
    EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 1);
    RECT box{};
    GetWindowRect(list, &box);
    EXPECT_GT(SendMessageA(list, CB_GETDROPPEDWIDTH, 0, 0), box.right - box.left);
    SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(Win32WindowTest, TabMovesThroughFocusTakingControlsInCreationOrderAndWraps) {
    createGeneration(3);
    const std::vector<int> order = {1, 2, 3, 4, 5, 6, 7, 20, 21, 22, 23, 24, 41, 42, 43};
    SetForegroundWindow(main());
    SetFocus(control(order.front()));
    pump(20);
    for (size_t i = 0; i < order.size(); ++i) {
        const int next = order[(i + 1) % order.size()];
        // Tab, as the loop hands it to IsDialogMessage.
        MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        ASSERT_TRUE(IsDialogMessageA(main(), &tab));
        pump(10);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), next) << "after " << order[i];
        // Shift+Tab goes back the same way.
        EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(main(), control(next), TRUE)), order[i]);
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(Win32WindowTest, AudioLevelFieldStaysOverItsFrameWhicheverCameLast) {
    createGeneration(2);
    createGeneration(3);
    // AudioLevelField lies on AudioLevelFrame; a click there reaches the field.
    const Rect field = generationControl(41, 3)->place;
    const POINT middle{field.x + field.width / 2, field.y + field.height / 2};
    EXPECT_EQ(ChildWindowFromPointEx(main(), middle, CWP_SKIPINVISIBLE), control(41));
    // Even when the frame is made again over an existing field.
    window->createControl(*generationControl(9, 3));
    EXPECT_EQ(ChildWindowFromPointEx(main(), middle, CWP_SKIPINVISIBLE), control(41));
}

TEST_F(Win32WindowTest, StatusBarIsOneFullWidthFieldOnTheBottomEdgeAtBothHeights) {
    HWND bar = control(ids::StatusBar);
    ASSERT_NE(bar, nullptr);
    int edges[4] = {};
    EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 1);
    for (int height : {kInnerHeight, kInnerHeightWithTrace, kInnerHeight}) {
        ASSERT_TRUE(window->setInnerHeight(height));
        pump(20);
        const RECT place = rectIn(main(), bar);
        EXPECT_EQ(place.bottom, height);
        EXPECT_EQ(place.left, 0);
        EXPECT_EQ(place.right, kInnerWidth);
        RECT field{};
        SendMessageA(bar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&field));
        EXPECT_GE(field.bottom - field.top, kStatusBarMinTextHeight);
        EXPECT_GE(field.right, kInnerWidth - 4);  // up to the right edge, inside the border
    }
}

// Every text of every generation's controls, the widest content of each field and the
// status bar's widest texts, as the controls themselves measure them with their font; the
// font is the default GUI font's face, no larger than it.
TEST_F(Win32WindowTest, EveryShownTextFitsItsControl) {
    LOGFONTA system{};
    LOGFONTA form{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(system), &system);
    GetObjectA(window->formFont(), sizeof(form), &form);
    EXPECT_STREQ(form.lfFaceName, system.lfFaceName);
    EXPECT_LE(std::labs(form.lfHeight), std::labs(system.lfHeight));
    for (const ShownText& shown : shownTexts()) {
        SCOPED_TRACE(std::string(shown.control.name) + " '" + std::string(shown.text) + "'");
        if (shown.control.id == ids::StatusBar) {
            window->setStatusText(shown.text);
        } else {
            window->createControl(shown.control);
            if (shown.control.id == ids::PortList) {
                window->appendPortList(shown.text);
            }
            window->setControlText(shown.control.id, shown.text);
        }
        EXPECT_LE(textOverflow(control(shown.control.id)), 0);
    }
}

// What the clock's pause service does while a handler waits on the receiver: the window is
// painted, while a click and TraceTimer wait until the handler has returned.
TEST_F(Win32WindowTest, DuringAHandlerTheWindowPaintsButTakesNoClickAndNoTick) {
    std::vector<std::string> log;
    bool inHandler = false;
    bool painted = false;
    window->setEvents({
        .controlEvent =
            [&](int id) {
                log.push_back("event " + std::to_string(id));
                if (id != ids::LoadButton) {
                    return;
                }
                inHandler = true;
                window->startTraceTimer();
                PostMessageA(control(ids::StoreButton), BM_CLICK, 0, 0);
                window->setStatusText("working");
                InvalidateRect(main(), nullptr, TRUE);
                // Past the timer's first expiry, as a LOAD of 1.3 s would be.
                const ULONGLONG end = GetTickCount64() + 1300;
                while (GetTickCount64() < end) {
                    window->serveWhileBusy();
                    Sleep(10);
                }
                painted = !GetUpdateRect(main(), nullptr, FALSE) &&
                          !GetUpdateRect(control(ids::StatusBar), nullptr, FALSE);
                inHandler = false;
            },
        .traceTimer = [&] { log.push_back(inHandler ? "tick inside" : "tick"); },
        .closeBox = {},
    });
    SendMessageA(control(ids::LoadButton), BM_CLICK, 0, 0);
    pump(300);
    window->stopTraceTimer();
    EXPECT_TRUE(painted);
    EXPECT_EQ(log, (std::vector<std::string>{"event 20", "event 21", "tick"}));
}

TEST_F(Win32WindowTest, ReplacedTraceBitmapsAndControlsAreReleased) {
    window->createTraceImage(testing::markedImage(1));
    HBITMAP first = shownBitmap();
    ASSERT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
    window->setTraceImage(testing::markedImage(2));
    HBITMAP second = shownBitmap();
    EXPECT_NE(second, first);
    EXPECT_EQ(GetObjectType(first), 0u) << "the bitmap shown before is still allocated";

    // Growing the window again makes a new TraceImage: the old bitmap is gone.
    window->createTraceImage(testing::markedImage(3));
    EXPECT_EQ(GetObjectType(second), 0u);

    // An hour of trace, one image a second.
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HBITMAP previous = shownBitmap();
    for (int second_ = 0; second_ < 3600; ++second_) {
        window->setTraceImage(testing::markedImage(static_cast<uint8_t>(second_)));
        HBITMAP now = shownBitmap();
        ASSERT_NE(now, nullptr) << "after " << second_ << " images";
        ASSERT_EQ(GetObjectType(previous), 0u) << "after " << second_ << " images";
        previous = now;
    }
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_LE(gdiAfter, gdiBefore + 2);

    window->closeWindow();
    EXPECT_EQ(GetObjectType(previous), 0u) << "the last bitmap outlives the window";
}

TEST_F(Win32WindowTest, OnlyPressesClicksAndChoicesAreControlEvents) {
    createGeneration(3);
    auto command = [&](int id, UINT code, HWND from) {
        SendMessageA(main(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(from));
    };
    struct Case {
        const char* what;
        int id;
        UINT code;
        int fromId;  // 0: no control (a menu or accelerator)
        bool isEvent;
    } cases[] = {
        {"LOAD pressed", 20, BN_CLICKED, 20, true},
        {"QUIT pressed", 22, BN_CLICKED, 22, true},
        {"Trace clicked", 24, BN_CLICKED, 24, true},
        {"port chosen", 23, CBN_SELCHANGE, 23, true},
        {"port list opened", 23, CBN_DROPDOWN, 23, false},
        {"port list focused", 23, CBN_SETFOCUS, 23, false},
        {"port list closed", 23, CBN_CLOSEUP, 23, false},
        {"button focused", 21, BN_SETFOCUS, 21, false},
        {"channel edited", 1, EN_CHANGE, 1, false},
        {"Enter in a field (IDOK)", IDOK, BN_CLICKED, 1, false},
        {"receiver's check box", 42, BN_CLICKED, 42, true},
        {"accelerator", 20, BN_CLICKED, 0, false},
        {"someone else's id", 20, BN_CLICKED, 21, false},
    };
    for (const Case& c : cases) {
        events.clear();
        command(c.id, c.code, c.fromId != 0 ? control(c.fromId) : nullptr);
        EXPECT_EQ(events, c.isEvent ? std::vector<int>{c.id} : std::vector<int>{}) << c.what;
    }

    // A real click: the check box toggles itself, then the program hears of it.
    events.clear();
    SendMessageA(control(24), BM_CLICK, 0, 0);
    EXPECT_EQ(events, std::vector<int>{24});
    EXPECT_EQ(window->controlState(24), 1);
    // Enter typed in a channel field, through the dialog keys.
    events.clear();
    MSG enter{control(1), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    IsDialogMessageA(main(), &enter);
    pump(20);
    EXPECT_TRUE(events.empty());
}

TEST_F(Win32WindowTest, CloseBoxIsLeftToTheProgramAndClosingReleasesEverything) {
    // The close box, and the end of the session, which sends no WM_CLOSE and may end the
    // process as soon as WM_ENDSESSION is answered: the program's exit sequence must have
    // released the port by then. A handler under way (a STORE) asks the session to wait.
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        bool inHandler;
        LRESULT answer;
        int closeBoxesInHandler;
        int closeBoxesAfter;
    } cases[] = {
        {"close box", WM_CLOSE, 0, false, 0, 0, 1},
        {"close box during a handler", WM_CLOSE, 0, true, 0, 0, 1},
        {"may the session end", WM_QUERYENDSESSION, 0, false, TRUE, 0, 0},
        {"may it end during a handler", WM_QUERYENDSESSION, 0, true, FALSE, 0, 0},
        {"the session goes on", WM_ENDSESSION, FALSE, false, 0, 0, 0},
        {"the session ends", WM_ENDSESSION, TRUE, false, 0, 0, 1},
        {"it ends during a handler", WM_ENDSESSION, TRUE, true, 0, 1, 1},
    };
    for (const Case& c : cases) {
        closeBoxes = 0;
        LRESULT answer = -1;
        int closeBoxesInHandler = 0;
        const auto send = [&] { answer = SendMessageA(main(), c.message, c.wParam, 0); };
        window->setEvents({
            .controlEvent =
                [&](int) {
                    send();
                    closeBoxesInHandler = closeBoxes;
                },
            .traceTimer = {},
            .closeBox = [this] { ++closeBoxes; },
        });
        if (c.inHandler) {
            SendMessageA(control(20), BM_CLICK, 0, 0);
        } else {
            send();
        }
        EXPECT_EQ(answer, c.answer) << c.what;
        EXPECT_EQ(closeBoxesInHandler, c.closeBoxesInHandler) << c.what;
        EXPECT_EQ(closeBoxes, c.closeBoxesAfter) << c.what;
        EXPECT_TRUE(window->isOpen());
    }

    HWND closed = main();
    window->closeWindow();
    EXPECT_FALSE(window->isOpen());
    EXPECT_FALSE(IsWindow(closed));
    // What the program may still call after its window is gone does nothing.
    EXPECT_FALSE(window->hasControl(1));
    EXPECT_EQ(window->controlText(1), "");
    EXPECT_EQ(window->controlState(24), 0);
    EXPECT_FALSE(window->setInnerHeight(kInnerHeightWithTrace));
    window->setStatusText("ready");
    window->createControl(fixedControls()[0]);
    window->stopTraceTimer();
    window->closeWindow();
}

TEST_F(Win32WindowTest, TraceTimerTicksEverySecondRestartsAndStops) {
    window->startTraceTimer();
    pump(700);
    window->startTraceTimer();  // a new full period from here
    pump(700);
    EXPECT_EQ(ticks, 0);
    pump(600);
    EXPECT_EQ(ticks, 1);
    pump(1000);
    EXPECT_EQ(ticks, 2);
    window->stopTraceTimer();
    pump(1300);
    EXPECT_EQ(ticks, 2);
    window->stopTraceTimer();  // stopping a stopped timer does nothing
}

TEST_F(Win32WindowTest, MessageBoxShowsTheTextWhileTraceTimerTicks) {
    window->startTraceTimer();
    std::atomic<bool> done{false};
    std::string seenText;
    bool hadCancel = true;
    // Plays the user: waits for the box, leaves it open a while, reads it and presses OK.
    std::thread user([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        HWND box = nullptr;
        while (box == nullptr && std::chrono::steady_clock::now() < deadline) {
            box = FindWindowA("#32770", "Message");
            Sleep(20);
        }
        if (box != nullptr) {
            Sleep(2300);
            seenText = windowText(GetDlgItem(box, 0xFFFF));
            hadCancel = GetDlgItem(box, IDCANCEL) != nullptr;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        }
        done = true;
    });
    window->showMessage(kMessageCaption, "Select COM Port");
    user.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(seenText, "Select COM Port");
    EXPECT_FALSE(hadCancel);
    EXPECT_GE(ticks, 2);
    window->stopTraceTimer();
}

}  // namespace

namespace testing {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Window, WindowContract, Win32Backend);
}  // namespace testing

}  // namespace tamlo
