// The whole program fed fuzzed receiver replies. The input is split at zero bytes: the
// first part is what the user does, one character an action; every later part is one
// reply of the receiver, handed out in turn as the program asks ("V", "X", "M", "R").
//
//   c / C   choose COM1 (the receiver) / COM2 (a device that has gone away)
//   l s     LOAD, STORE
//   k       click Trace        t   a trace timer tick (when the timer runs)
//   d e     toggle check box 42 / 43 (when it exists)
//   T n text\n   type text into field n: '1'..'7' the channels and threshold, 'A' the audio level
//   q x     QUIT, the close box
//
// Whatever the replies, every handler ends in bounded time and shows at most one message,
// and a STORE ends with "ready" in the status line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <string_view>

#include "app/configurator.h"
#include "scripted_line.h"
#include "ui/control_table.h"
#include "ui/memory_window.h"

namespace {

// The longest handler: a generation-1 STORE (39 characters at 250 ms) and its read-back,
// with every read waiting out its time-outs.
constexpr int64_t kLongestHandlerMs = 60'000;

int fieldId(char c) {
    if (c >= '1' && c <= '7') {
        return c - '0';
    }
    return c == 'A' ? tamlo::ids::AudioLevelField : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string_view actions = input.substr(0, split);
    std::deque<std::string> replies;
    if (split != std::string_view::npos) {
        std::string_view rest = input.substr(split + 1);
        for (;;) {
            const size_t end = rest.find('\0');
            replies.emplace_back(rest.substr(0, end));
            if (end == std::string_view::npos) {
                break;
            }
            rest = rest.substr(end + 1);
        }
    }

    tamlo::fuzzing::ScriptedLine line(std::move(replies));
    tamlo::MemoryWindow window;
    tamlo::Configurator configurator(window, line, line, line);
    configurator.startUp();

    const auto handle = [&](auto&& action) {
        const int64_t before = line.nowMs();
        const size_t messages = window.messages().size();
        action();
        if (line.nowMs() - before > kLongestHandlerMs || window.messages().size() > messages + 1) {
            std::abort();
        }
    };
    for (size_t i = 0; i < actions.size() && !configurator.finished(); ++i) {
        const char a = actions[i];
        switch (a) {
            case 'c':
            case 'C':
                window.choosePortEntry(a == 'c' ? "COM1" : "COM2");
                handle([&] { configurator.dispatch(tamlo::ids::PortList); });
                break;
            case 'l':
                handle([&] { configurator.dispatch(tamlo::ids::LoadButton); });
                break;
            case 's':
                handle([&] { configurator.dispatch(tamlo::ids::StoreButton); });
                // Whatever the receiver said, a STORE ends "ready".
                if (window.statusText() != "ready") {
                    std::abort();
                }
                break;
            case 'k':
                window.setControlState(tamlo::ids::TraceCheck,
                                       window.controlState(tamlo::ids::TraceCheck) ? 0 : 1);
                handle([&] { configurator.dispatch(tamlo::ids::TraceCheck); });
                break;
            case 't':
                if (window.traceTimerRunning()) {
                    handle([&] { configurator.onTraceTimer(); });
                }
                break;
            case 'd':
            case 'e': {
                const int id = a == 'd' ? 42 : 43;
                if (window.hasControl(id)) {
                    window.setControlState(id, window.controlState(id) ? 0 : 1);
                }
                break;
            }
            case 'T': {
                const size_t end = actions.find('\n', i + 1);
                const std::string_view typed = actions.substr(
                    i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
                if (!typed.empty() && fieldId(typed[0]) != 0 &&
                    window.hasControl(fieldId(typed[0]))) {
                    window.setControlText(fieldId(typed[0]), typed.substr(1));
                }
                i = end == std::string_view::npos ? actions.size() : end;
                break;
            }
            case 'q':
                handle([&] { configurator.dispatch(tamlo::ids::QuitButton); });
                break;
            case 'x':
                configurator.onCloseBox();
                break;
            default:
                break;
        }
    }
    return 0;
}
