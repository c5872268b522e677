// Everything the core asks of the screen, addressed by control id. Implemented by the Qt
// window, the native Windows window and the in-memory window of tests and tools.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/control_table.h"

namespace tamlo {

class Image;

enum class FileDialog { Save, Open };

// A file the user chose in the platform's own file dialog.
struct ChosenFile {
    std::string path;  // as the system names it; empty: the user cancelled
    std::string name;  // the file's name for messages, as Latin-1 text
    bool chosen() const { return !path.empty(); }
};

class Window {
  public:
    virtual ~Window() = default;

    // Opens MainWindow: title, inner size kInnerWidth x kInnerHeight, centred, not
    // resizable. False when it cannot be opened.
    virtual bool openMainWindow() = 0;
    // The status bar (id 40) with one full-width field; false when it cannot be made.
    virtual bool createStatusBar() = 0;
    // Creates the control at its place with its text; an existing control with the same id
    // is destroyed first. Controls created later come later in the Tab order.
    virtual void createControl(const ControlSpec& item) = 0;
    virtual bool hasControl(int id) const = 0;
    // For PortList, the chosen entry ("" when none is chosen); "" for a missing control.
    virtual std::string controlText(int id) = 0;
    // For PortList, chooses the entry with this text (none when there is no such entry);
    // the choice raises no event.
    virtual void setControlText(int id, std::string_view text) = 0;
    // A check box: 1 checked, 0 unchecked; 0 for anything else or a missing control.
    virtual int32_t controlState(int id) = 0;
    // A check box: 0 unchecks, anything else checks.
    virtual void setControlState(int id, int32_t state) = 0;
    virtual void clearPortList() = 0;
    virtual void appendPortList(std::string_view name) = 0;
    virtual void setStatusText(std::string_view text) = 0;
    // Keeps the window's position and inner width; false when the change failed.
    virtual bool setInnerHeight(int height) = 0;
    // Creates TraceImage (id 50) at kTraceImagePlace showing image, replacing one.
    virtual void createTraceImage(const Image& image) = 0;
    // Hands image to TraceImage; nothing when TraceImage does not exist yet.
    virtual void setTraceImage(const Image& image) = 0;
    // Modal box over MainWindow with the caption, the text, no icon and one OK button;
    // returns when the user dismisses it. TraceTimer keeps ticking meanwhile.
    virtual void showMessage(std::string_view caption, std::string_view text) = 0;
    // The platform's dialog for a settings file to save (TOML by default, JSON by name) or
    // to open. Modal like a message box: TraceTimer keeps ticking meanwhile.
    virtual ChosenFile chooseSettingsFile(FileDialog dialog) = 0;
    // TraceTimer: 1000 ms; starting it again restarts the period; stopping a stopped
    // timer does nothing.
    virtual void startTraceTimer() = 0;
    virtual void stopTraceTimer() = 0;
    virtual void closeWindow() = 0;
};

inline constexpr int32_t kTraceTimerPeriodMs = 1000;

}  // namespace tamlo
