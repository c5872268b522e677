#include "ui/memory_window.h"

#include <algorithm>

namespace tamlo {

bool MemoryWindow::openMainWindow() {
    if (failOpen) {
        return false;
    }
    open_ = true;
    innerHeight_ = kInnerHeight;
    return true;
}

bool MemoryWindow::createStatusBar() {
    if (failStatusBar || !open_) {
        return false;
    }
    statusBar_ = true;
    return true;
}

void MemoryWindow::createControl(const ControlSpec& item) {
    if (!open_) {
        return;
    }
    controls_.erase(item.id);
    std::erase(creationOrder_, item.id);
    Control control{item, std::string(item.text), 0, std::nullopt};
    controls_.emplace(item.id, std::move(control));
    creationOrder_.push_back(item.id);
    if (item.id == ids::PortList) {
        portEntries_.clear();
        chosenEntry_.reset();
    }
}

bool MemoryWindow::hasControl(int id) const {
    return controls_.contains(id);
}

const MemoryWindow::Control* MemoryWindow::control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

std::string MemoryWindow::controlText(int id) {
    if (id == ids::PortList) {
        if (!hasControl(id) || !chosenEntry_) {
            return {};
        }
        return portEntries_[*chosenEntry_];
    }
    const Control* c = control(id);
    return c == nullptr ? std::string{} : c->text;
}

void MemoryWindow::setControlText(int id, std::string_view text) {
    auto it = controls_.find(id);
    if (it == controls_.end()) {
        return;
    }
    if (id == ids::PortList) {
        if (!choosePortEntry(text)) {
            chosenEntry_.reset();
        }
        return;
    }
    it->second.text = std::string(text);
}

int32_t MemoryWindow::controlState(int id) {
    const Control* c = control(id);
    if (c == nullptr || c->item.kind != ControlKind::CheckBox) {
        return 0;
    }
    return c->state;
}

void MemoryWindow::setControlState(int id, int32_t state) {
    auto it = controls_.find(id);
    if (it != controls_.end() && it->second.item.kind == ControlKind::CheckBox) {
        it->second.state = state != 0 ? 1 : 0;
    }
}

void MemoryWindow::clearPortList() {
    portEntries_.clear();
    chosenEntry_.reset();
}

void MemoryWindow::appendPortList(std::string_view name) {
    if (hasControl(ids::PortList)) {
        portEntries_.emplace_back(name);
    }
}

bool MemoryWindow::choosePortEntry(std::string_view name) {
    if (name.empty()) {
        chosenEntry_.reset();
        return true;
    }
    auto it = std::find(portEntries_.begin(), portEntries_.end(), name);
    if (it == portEntries_.end()) {
        return false;
    }
    chosenEntry_ = static_cast<size_t>(it - portEntries_.begin());
    return true;
}

void MemoryWindow::setStatusText(std::string_view text) {
    if (statusBar_) {
        statusText_ = std::string(text);
    }
}

bool MemoryWindow::setInnerHeight(int height) {
    if (failResize || !open_) {
        return false;
    }
    innerHeight_ = height;
    return true;
}

void MemoryWindow::createTraceImage(const Image& image) {
    createControl(*findControl(ids::TraceImage));
    auto it = controls_.find(ids::TraceImage);
    if (it != controls_.end()) {
        it->second.image = image;
    }
}

void MemoryWindow::setTraceImage(const Image& image) {
    auto it = controls_.find(ids::TraceImage);
    if (it != controls_.end()) {
        it->second.image = image;
    }
}

void MemoryWindow::showMessage(std::string_view caption, std::string_view text) {
    messages_.emplace_back(std::string(caption), std::string(text));
}

ChosenFile MemoryWindow::chooseSettingsFile(FileDialog dialog) {
    fileDialogs.push_back(dialog);
    if (fileAnswers.empty()) {
        return {};
    }
    ChosenFile answer = std::move(fileAnswers.front());
    fileAnswers.pop_front();
    return answer;
}

void MemoryWindow::startTraceTimer() {
    timerRunning_ = true;
    ++timerStarts_;
}

void MemoryWindow::stopTraceTimer() {
    timerRunning_ = false;
}

void MemoryWindow::closeWindow() {
    timerRunning_ = false;
    open_ = false;
}

}  // namespace tamlo
