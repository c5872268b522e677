// The headless session runner: the whole program with an in-memory window against the
// simulated receiver in virtual time, one action a line, a deterministic report.
#include "session_runner.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/configurator.h"
#include "ppm.h"
#include "sim/options.h"
#include "sim/virtual_line.h"
#include "text/conversions.h"
#include "ui/memory_window.h"
#include "wire_log.h"

namespace tamlo {
namespace {

std::vector<std::string> splitWords(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// A whole decimal number and nothing else.
std::optional<int64_t> wholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 12) {
        return std::nullopt;
    }
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return std::nullopt;
    }
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') {
            return std::nullopt;
        }
    }
    return parseInteger(text);
}

class Session {
  public:
    Session(std::ostream& out, const SessionLimits& limits)
        : out_(out),
          limits_(limits),
          wire_(line_, line_, [this] { return line_.nowMs(); }),
          configurator_(window_, wire_, line_, wire_) {}

    void run(std::istream& in) {
        for (std::string raw; std::getline(in, raw);) {
            if (limits_.maxVirtualMs >= 0 && line_.nowMs() > limits_.maxVirtualMs) {
                break;
            }
            if (!raw.empty() && raw.back() == '\r') {
                raw.pop_back();
            }
            const size_t first = raw.find_first_not_of(" \t");
            if (first == std::string::npos || raw[first] == '#') {
                continue;
            }
            const std::string text = raw.substr(first);
            out_ << "> " << text << '\n';
            perform(text);
        }
    }

  private:
    void perform(const std::string& text) {
        const size_t space = text.find(' ');
        const std::string verb = text.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
        const std::vector<std::string> args = splitWords(rest);

        if (verb == "receiver") {
            return configureReceiver(args);
        }
        if (verb == "ports") {
            return ports(args);
        }
        if (!started_) {
            return error("'ports' must come before '" + verb + "'");
        }
        static constexpr std::string_view kActions[] = {"choose", "load",  "store", "quit",
                                                        "trace",  "close", "event", "type",
                                                        "check",  "tick",  "wait"};
        if (finished() &&
            std::find(std::begin(kActions), std::end(kActions), verb) != std::end(kActions)) {
            return error("the program has ended");
        }
        if (verb == "choose") {
            return choose(rest);
        }
        if (verb == "load" || verb == "store" || verb == "quit") {
            const int id = verb == "load"    ? ids::LoadButton
                           : verb == "store" ? ids::StoreButton
                                             : ids::QuitButton;
            return dispatch(id);
        }
        if (verb == "trace") {
            // The box ticks itself, then its event is dispatched.
            window_.setControlState(ids::TraceCheck, window_.controlState(ids::TraceCheck) ? 0 : 1);
            return dispatch(ids::TraceCheck);
        }
        if (verb == "close") {
            configurator_.onCloseBox();
            window_.closeWindow();
            return;
        }
        if (verb == "event") {
            const auto id = args.size() == 1 ? wholeNumber(args[0]) : std::nullopt;
            if (!id) {
                return error("usage: event ID");
            }
            return dispatch(static_cast<int>(*id));
        }
        if (verb == "type") {
            return type(rest);
        }
        if (verb == "check") {
            const auto id = args.size() == 2 ? wholeNumber(args[0]) : std::nullopt;
            const auto state = args.size() == 2 ? wholeNumber(args[1]) : std::nullopt;
            if (!id || !state || !window_.hasControl(static_cast<int>(*id))) {
                return error("usage: check ID 0|1, for an existing check box");
            }
            window_.setControlState(static_cast<int>(*id), static_cast<int32_t>(*state));
            return;
        }
        if (verb == "tick" || verb == "wait") {
            const auto amount = args.size() == 1 ? wholeNumber(args[0]) : std::nullopt;
            if (!amount || *amount < 0 || *amount > 100000000) {
                return error("usage: " + verb + " N");
            }
            if (limits_.maxVirtualMs >= 0 &&
                *amount > limits_.maxVirtualMs / (verb == "tick" ? kTraceTimerPeriodMs : 1)) {
                return error("beyond this run's time limit");
            }
            return verb == "tick" ? tick(*amount) : wait(*amount);
        }
        if (verb == "form") {
            return printForm();
        }
        if (verb == "layout") {
            return printLayout();
        }
        if (verb == "messages") {
            return printMessages();
        }
        if (verb == "wire") {
            return printWire();
        }
        if (verb == "state") {
            return printState();
        }
        if (verb == "stored") {
            return printStored();
        }
        if (verb == "image") {
            return writeImage(rest);
        }
        if (verb == "pixel") {
            return printPixel(args);
        }
        error("unknown action '" + verb + "'");
    }

    void error(const std::string& why) { out_ << "error: " << why << '\n'; }

    bool finished() const { return configurator_.finished(); }

    void configureReceiver(const std::vector<std::string>& args) {
        sim::ReceiverSettings& s = line_.receiver().settings();
        for (const std::string& arg : args) {
            const size_t eq = arg.find('=');
            const std::string key = arg.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
            std::string why;
            if (eq == std::string::npos) {
                error("expected KEY=VALUE, got '" + arg + "'");
            } else if (!sim::setReceiverOption(s, key, value, why)) {
                error(why + " for " + key);
            }
        }
    }

    // The first line starts the program, which probes these names; a later line changes
    // which devices exist, as if one were plugged in or pulled out.
    void ports(const std::vector<std::string>& names) {
        line_.setPorts(names);
        if (!started_) {
            started_ = true;
            configurator_.startUp();
            timerStarts_ = window_.timerStarts();
        }
    }

    void choose(const std::string& name) {
        if (!window_.choosePortEntry(name)) {
            return error("PortList has no entry '" + name + "'");
        }
        dispatch(ids::PortList);
    }

    void type(const std::string& rest) {
        const size_t space = rest.find(' ');
        const auto id = wholeNumber(rest.substr(0, space));
        if (!id || !window_.hasControl(static_cast<int>(*id))) {
            return error("usage: type ID TEXT, for an existing control");
        }
        window_.setControlText(static_cast<int>(*id),
                               space == std::string::npos ? "" : rest.substr(space + 1));
    }

    void dispatch(int id) {
        configurator_.dispatch(id);
        noteTimer();
    }

    // A (re)started timer expires a full period after the start.
    void noteTimer() {
        if (window_.timerStarts() != timerStarts_) {
            timerStarts_ = window_.timerStarts();
            nextExpiryMs_ = line_.nowMs() + kTraceTimerPeriodMs;
        }
    }

    void tick(int64_t count) {
        for (int64_t i = 0; i < count && window_.traceTimerRunning() && !finished(); ++i) {
            if (nextExpiryMs_ > line_.nowMs()) {
                line_.advanceMs(nextExpiryMs_ - line_.nowMs());
            }
            expire();
        }
    }

    void wait(int64_t ms) {
        const int64_t end = line_.nowMs() + ms;
        while (window_.traceTimerRunning() && !finished() && nextExpiryMs_ <= end) {
            if (nextExpiryMs_ > line_.nowMs()) {
                line_.advanceMs(nextExpiryMs_ - line_.nowMs());
            }
            expire();
        }
        if (end > line_.nowMs()) {
            line_.advanceMs(end - line_.nowMs());
        }
    }

    void expire() {
        configurator_.onTraceTimer();
        // A poll takes its 200 ms; the timer keeps its own beat, and an expiry missed
        // meanwhile is not made up.
        do {
            nextExpiryMs_ += kTraceTimerPeriodMs;
        } while (nextExpiryMs_ <= line_.nowMs());
    }

    void printForm() {
        for (const auto& [id, control] : window_.controls()) {
            out_ << id;
            switch (control.item.kind) {
                case ControlKind::CheckBox:
                    out_ << (control.state != 0 ? " [x] " : " [ ] ") << control.text;
                    break;
                case ControlKind::DropDownList:
                    if (const std::string chosen = window_.controlText(id); !chosen.empty()) {
                        out_ << ' ' << chosen;
                    }
                    out_ << " (entries:";
                    for (const std::string& entry : window_.portEntries()) {
                        out_ << ' ' << entry;
                    }
                    out_ << ')';
                    break;
                case ControlKind::ImageControl:
                    out_ << (control.image ? " <image>" : " <no image>");
                    break;
                default:
                    if (!control.text.empty()) {
                        out_ << ' ' << control.text;
                    }
                    break;
            }
            out_ << '\n';
        }
        out_ << "status: " << window_.statusText() << '\n';
        out_ << "height: " << window_.innerHeight() << '\n';
        out_ << "timer: " << (window_.traceTimerRunning() ? "running" : "stopped") << '\n';
        out_ << "window: " << (window_.isOpen() ? "open" : "closed") << '\n';
    }

    // Every control in creation order (the Tab order) with its name, kind and place.
    void printLayout() {
        static constexpr const char* kKinds[] = {"edit",     "label",    "bordered", "button",
                                                 "dropdown", "checkbox", "image"};
        for (int id : window_.creationOrder()) {
            const ControlSpec& item = window_.control(id)->item;
            const Rect& r = item.place;
            out_ << id << ' ' << item.name << ' ' << kKinds[static_cast<int>(item.kind)] << ' '
                 << r.x << ',' << r.y << ' ' << r.width << 'x' << r.height << '\n';
        }
    }

    void printMessages() {
        const auto& all = window_.messages();
        if (messagesSeen_ == all.size()) {
            out_ << "message: none\n";
        }
        for (; messagesSeen_ < all.size(); ++messagesSeen_) {
            out_ << "message: " << all[messagesSeen_].second;
            if (all[messagesSeen_].first != kMessageCaption) {
                out_ << "  (caption " << all[messagesSeen_].first << ')';
            }
            out_ << '\n';
        }
    }

    void printWire() {
        const auto lines = wire_.take();
        if (lines.empty()) {
            out_ << "wire: none\n";
        }
        for (const std::string& line : lines) {
            out_ << line << '\n';
        }
    }

    void printState() {
        const ProcessState& s = configurator_.state();
        out_ << "slots:";
        for (int32_t slot : s.settings.slots) {
            out_ << ' ' << slot;
        }
        out_ << "\nerrorCode: " << s.errorCode << "  traceOffset: " << s.traceOffset
             << "  traceIndex: " << s.trace.traceIndex
             << "  port: " << (line_.isPortOpen() ? line_.openPortName() : "none") << '\n';
    }

    void printStored() {
        const sim::ReceiverSettings& s = line_.receiver().settings();
        out_ << "stored:";
        for (int32_t code : s.channelCode) {
            out_ << ' ' << code;
        }
        out_ << "  threshold " << s.threshold << "  audio " << s.audioLevel << "  diversity "
             << s.diversity << "  lna " << s.lna << '\n';
    }

    const Image* shownImage() const {
        const MemoryWindow::Control* c = window_.control(ids::TraceImage);
        return c != nullptr && c->image ? &*c->image : nullptr;
    }

    void writeImage(const std::string& path) {
        const Image* image = shownImage();
        if (image == nullptr) {
            out_ << "image: none\n";
        } else if (!limits_.writeFiles) {
            out_ << "image: not written\n";
        } else if (path.empty() || !writePpm(*image, path)) {
            error("cannot write '" + path + "'");
        }
    }

    void printPixel(const std::vector<std::string>& args) {
        const auto x = args.size() == 2 ? wholeNumber(args[0]) : std::nullopt;
        const auto y = args.size() == 2 ? wholeNumber(args[1]) : std::nullopt;
        if (!x || !y || *x < INT32_MIN || *x > INT32_MAX || *y < INT32_MIN || *y > INT32_MAX) {
            return error("usage: pixel X Y");
        }
        const Image* image = shownImage();
        if (image == nullptr) {
            out_ << "image: none\n";
            return;
        }
        const Rgb rgb = image->pixel(static_cast<int>(*x), static_cast<int>(*y));
        out_ << "pixel " << *x << ' ' << *y << ": " << int{rgb.red} << ' ' << int{rgb.green} << ' '
             << int{rgb.blue} << '\n';
    }

    std::ostream& out_;
    SessionLimits limits_;
    MemoryWindow window_;
    sim::VirtualLine line_;
    WireLog wire_;
    Configurator configurator_;
    bool started_ = false;
    int timerStarts_ = 0;
    int64_t nextExpiryMs_ = 0;
    size_t messagesSeen_ = 0;
};

}  // namespace

void runSession(std::istream& in, std::ostream& out, const SessionLimits& limits) {
    Session session(out, limits);
    session.run(in);
}

}  // namespace tamlo
