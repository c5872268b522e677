// A window that lives in memory: it keeps what a real window would show, so that tests and
// the headless session runner can drive the whole program and read the form back.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "trace/image.h"
#include "ui/window.h"

namespace tamlo {

class MemoryWindow : public Window {
  public:
    struct Control {
        ControlSpec item;  // name and text views point into the static control table
        std::string text;
        int32_t state = 0;
        std::optional<Image> image;  // TraceImage only
    };

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

    // What the user would do.
    // Chooses the PortList entry with this text; false when there is none. "" chooses none.
    bool choosePortEntry(std::string_view name);

    // What the user would see.
    const std::map<int, Control>& controls() const { return controls_; }
    const Control* control(int id) const;
    // Ids in the order they were (last) created.
    const std::vector<int>& creationOrder() const { return creationOrder_; }
    const std::vector<std::string>& portEntries() const { return portEntries_; }
    const std::string& statusText() const { return statusText_; }
    int innerHeight() const { return innerHeight_; }
    bool isOpen() const { return open_; }
    bool traceTimerRunning() const { return timerRunning_; }
    // Each message as caption and text, oldest first.
    const std::vector<std::pair<std::string, std::string>>& messages() const { return messages_; }
    int timerStarts() const { return timerStarts_; }
    // What the user chooses in the next file dialogs, in turn; none left: cancelled.
    std::deque<ChosenFile> fileAnswers;
    // The file dialogs shown, oldest first.
    std::vector<FileDialog> fileDialogs;
    // Fail the next openMainWindow / createStatusBar / setInnerHeight calls.
    bool failOpen = false;
    bool failStatusBar = false;
    bool failResize = false;

  private:
    std::map<int, Control> controls_;
    std::vector<int> creationOrder_;
    std::vector<std::string> portEntries_;
    std::optional<size_t> chosenEntry_;
    std::string statusText_;
    bool statusBar_ = false;
    int innerHeight_ = 0;
    bool open_ = false;
    bool timerRunning_ = false;
    int timerStarts_ = 0;
    std::vector<std::pair<std::string, std::string>> messages_;
};

}  // namespace tamlo
