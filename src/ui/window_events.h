// Where a platform window's events go, and the rule that keeps the program single-minded:
// a handler runs to its end before the next event is acted on. The platform clock lets the
// window paint and answer the desktop while a handler waits on the receiver; anything else
// that arrives then waits here until the handler is done.
#pragma once

#include <deque>
#include <functional>

namespace tamlo {

// The form's own commands, from a shortcut key or a menu: never controls of the form.
enum class FormCommand { SaveSettings, OpenSettings };

// What the platform mains connect to the program.
struct WindowEvents {
    // A button was pressed, a check box clicked, or another PortList entry chosen.
    std::function<void(int controlId)> controlEvent;
    // TraceTimer expired.
    std::function<void()> traceTimer;
    // The close box, or Close in the system menu.
    std::function<void()> closeBox;
    // The user opens PortList: its entries are brought up to date before it shows.
    // Optional, as the events below: without it the list keeps its start-up entries.
    std::function<void()> portListOpening = nullptr;
    // Ctrl+S or Ctrl+O, or their entries in the window's menu.
    std::function<void(FormCommand)> formCommand = nullptr;
};

// Delivers a window's events one handler at a time. Events that come in while a handler
// runs (the window serves paint and the desktop's pings during the handler's pauses) are
// held: control events and the close box in the order they came, TraceTimer as one
// pending expiry, as a Windows timer message would be. They run when the outermost
// handler has returned: first the held control events and close box, then the expiry.
// While a message box of a handler is open its own loop delivers TraceTimer, as on
// Windows; control events and the close box still wait for the handler's end.
class WindowEventGate {
  public:
    void setEvents(WindowEvents events) { events_ = std::move(events); }

    // From the platform window.
    void controlEvent(int controlId);
    void traceTimerExpired();
    void closeBox();
    // Runs at once, as the list opens; while a handler runs the list opens as it is.
    void portListOpening();
    // Held like a control event.
    void formCommand(FormCommand command);

    // TraceTimer was started again or stopped: an expiry held from before is void.
    void dropPendingExpiry() { expiryPending_ = false; }
    // True while a handler runs (outside the loop of one of its message boxes).
    bool handlerRunning() const { return running_ > 0; }
    // True while control events and the close box would be held.
    bool holding() const { return mustHold(); }

    // Held for the length of a handler's modal message box.
    class ModalScope {
      public:
        explicit ModalScope(WindowEventGate& gate);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

      private:
        WindowEventGate& gate_;
        int savedRunning_;
    };

  private:
    struct Held {
        enum class Kind { Control, Close, Form } kind = Kind::Control;
        int controlId = 0;
        FormCommand command = FormCommand::SaveSettings;
    };

    // Control events wait while a handler runs or one of its message boxes is open.
    bool mustHold() const { return running_ > 0 || modal_ > 0; }
    void run(const std::function<void()>& handler);
    void runHeld();

    WindowEvents events_;
    int running_ = 0;
    int modal_ = 0;
    bool releasing_ = false;
    bool expiryPending_ = false;
    std::deque<Held> held_;
};

}  // namespace tamlo
