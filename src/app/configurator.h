// The program: its state, start-up, the dispatch of the five command controls, the error
// report and the exit sequence. Platform mains build a Window, a SerialPort, the
// platform's PortLister and a Clock, hand them over, and run their event loop, calling dispatch(),
// onTraceTimer() and onCloseBox() as events arrive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/state.h"
#include "files/file_store.h"
#include "serial/discovery.h"
#include "serial/exchange.h"
#include "ui/window.h"
#include "ui/window_events.h"

namespace tamlo {

class Configurator {
  public:
    Configurator(Window& window, SerialPort& port, PortLister& lister, Clock& clock);

    // Creates the state at zero, builds MainWindow and probes the ports. Returns the probed
    // names that did not open, with why, for the program to name those the user must know of.
    std::vector<PortRefusal> startUp();
    // A control event; ids other than 20 to 24 change nothing.
    void dispatch(int controlId);
    // TraceTimer expired.
    void onTraceTimer();
    // The user opens PortList: ports that appeared are added and ports that went are
    // removed, probed as at start-up, but never the open one. The chosen entry stays
    // chosen while its port is there; if it went, its port is closed and LOAD, STORE and
    // Trace say "Communication Port not available" until the next choice.
    void refreshPortList();
    // Ctrl+S: what STORE would send from the form now, as a settings file. Ctrl+O: a
    // settings file into the form's fields; nothing is sent.
    void onFormCommand(FormCommand command, FileStore& files);
    // The window's close box: the exit sequence alone.
    void onCloseBox();
    // True once QUIT or the close box has run the exit sequence; the event loop ends.
    bool finished() const { return finished_; }

    ProcessState& state() { return state_; }
    const ProcessState& state() const { return state_; }

  private:
    void onLoad();
    void onStore();
    void onQuit();
    void onPortList();
    void onTraceCheck();
    void reportError();
    void exitSequence();
    // The code for a command that needs a port while none is open.
    int32_t noPortError() const;

    Window& window_;
    PortLister& lister_;
    Line line_;
    ProcessState state_;
    bool finished_ = false;
    // PortList's entries as the program last listed them.
    std::vector<std::string> portEntries_;
    // A refresh found the chosen port gone.
    bool chosenPortWent_ = false;
};

}  // namespace tamlo
