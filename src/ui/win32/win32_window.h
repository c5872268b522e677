// MainWindow as a native Windows window: the controls of the control table as the standard
// window classes, a status bar, message boxes, TraceTimer and the trace image.
#pragma once

#include <windows.h>

#include <map>

#include "ui/window.h"
#include "ui/window_events.h"

struct IAccPropServices;

namespace tamlo {

inline constexpr UINT_PTR kTraceTimerId = 1;
inline constexpr int kIconResourceId = 1;
// The form's commands, from Ctrl+S and Ctrl+O and from the window's system menu (whose own
// commands leave the four low bits to the system).
inline constexpr WORD kSaveSettingsCommand = 0x100;
inline constexpr WORD kOpenSettingsCommand = 0x110;

class Win32Window final : public Window {
  public:
    explicit Win32Window(HINSTANCE instance);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // Where the window's events go. Each runs to its end; what comes in meanwhile (a
    // message sent by another program, say) waits for it (WindowEventGate).
    void setEvents(WindowEvents events);
    // While a handler waits on the receiver (the clock's pause service): paints what has
    // changed and answers messages sent to the window, so that it stays painted and is not
    // taken for hung. Input and timer messages stay queued for after the handler.
    void serveWhileBusy();
    // MainWindow; nullptr before it is opened and after it is closed.
    HWND handle() const { return window_; }
    bool isOpen() const { return window_ != nullptr; }
    HWND control(int id) const;
    // Ctrl+S and Ctrl+O, for the program's message loop: true when message was one of them
    // and has been handled.
    bool translateShortcut(MSG& message);
    // The font of the controls and the status bar: the default GUI font, smaller where
    // the form's texts would not fit it.
    HFONT formFont() const {
        return formFont_ != nullptr ? formFont_
                                    : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }

    bool openMainWindow() override;
    bool createStatusBar() override;
    void createControl(const ControlSpec& item) override;
    bool hasControl(int id) const override;
    std::string controlText(int id) override;
    void setControlText(int id, std::string_view text) override;
    int32_t controlState(int id) override;
    void setControlState(int id, int32_t state) override;
    void clearPortList() override;
    void appendPortList(std::string_view name) override;
    void setStatusText(std::string_view text) override;
    bool setInnerHeight(int height) override;
    void createTraceImage(const Image& image) override;
    void setTraceImage(const Image& image) override;
    void showMessage(std::string_view caption, std::string_view text) override;
    ChosenFile chooseSettingsFile(FileDialog dialog) override;
    void startTraceTimer() override;
    void stopTraceTimer() override;
    void closeWindow() override;

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK timerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
    LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void onCommand(WPARAM wParam, LPARAM lParam);
    void runCloseBox();
    void destroyControl(int id);
    void keepLabelsUnderFields();
    void releaseTraceBitmap();
    void useFormFont(HWND control) const;
    void addFormCommands(HWND window);
    void releaseFormFont();
    void nameForScreenReaders(HWND control, int id);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    // The kind each live control was created as: events and states depend on it.
    std::map<int, ControlKind> kinds_;
    // The bitmap TraceImage shows; ours to delete (a static control never deletes it).
    HBITMAP traceBitmap_ = nullptr;
    HFONT formFont_ = nullptr;
    bool ownsFormFont_ = false;
    HACCEL shortcuts_ = nullptr;
    WindowEvents events_;
    WindowEventGate gate_;
    // The accessibility annotations; null where COM is not set up (the window tests).
    IAccPropServices* accessibility_ = nullptr;
    bool accessibilityTried_ = false;
};

// The window class and styles a control of the table is created with.
struct NativeKind {
    const char* windowClass;
    DWORD style;
    DWORD exStyle;
};
NativeKind nativeKind(ControlKind kind);

// A 24-bit top-down DIB section holding image; nullptr when it cannot be made.
HBITMAP makeTraceBitmap(const Image& image);

}  // namespace tamlo
