// The in-memory window against the contract every window keeps; it reads back what it holds.
#include "ui/memory_window.h"

#include <algorithm>

#include "window_contract.h"

namespace tamlo {
namespace {

class MemoryBackend {
  public:
    Window& window() { return window_; }

    int countAt(const ControlSpec& item) const {
        const MemoryWindow::Control* control = window_.control(item.id);
        return control != nullptr && control->item.kind == item.kind &&
                       control->item.place == item.place
                   ? 1
                   : 0;
    }
    std::optional<ControlKind> kindOf(int id) const {
        const MemoryWindow::Control* control = window_.control(id);
        return control == nullptr ? std::nullopt : std::optional(control->item.kind);
    }
    std::optional<Rect> placeOf(int id) const {
        const MemoryWindow::Control* control = window_.control(id);
        return control == nullptr ? std::nullopt : std::optional(control->item.place);
    }
    std::vector<std::string> portEntries() const { return window_.portEntries(); }
    void choosePort(size_t index) { window_.choosePortEntry(window_.portEntries().at(index)); }
    std::string statusText() const { return window_.statusText(); }
    // It has no place on a screen, and its width never changes.
    Rect frame() const { return {0, 0, kInnerWidth, window_.innerHeight()}; }
    std::vector<uint8_t> shownImage() const {
        const MemoryWindow::Control* control = window_.control(ids::TraceImage);
        return control == nullptr || !control->image ? std::vector<uint8_t>{}
                                                     : control->image->rgb();
    }
    bool timerRunning() const { return window_.traceTimerRunning(); }
    // The creation order, less what takes no focus.
    std::vector<int> tabOrderFrom(int id) const {
        std::vector<int> stops;
        for (int created : window_.creationOrder()) {
            const ControlKind kind = window_.control(created)->item.kind;
            if (kind != ControlKind::Label && kind != ControlKind::BorderedLabel &&
                kind != ControlKind::ImageControl) {
                stops.push_back(created);
            }
        }
        const auto start = std::find(stops.begin(), stops.end(), id);
        std::rotate(stops.begin(), start, stops.end());
        return stops;
    }

  private:
    MemoryWindow window_;
};

}  // namespace

namespace testing {
INSTANTIATE_TYPED_TEST_SUITE_P(MemoryWindow, WindowContract, MemoryBackend);
}  // namespace testing

}  // namespace tamlo
