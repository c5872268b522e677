#include "app/configurator.h"

#include <algorithm>

#include "app/error_table.h"
#include "app/form.h"
#include "app/form_files.h"
#include "app/trace_view.h"
#include "protocol/write_and_verify.h"
#include "serial/discovery.h"

namespace tamlo {

Configurator::Configurator(Window& window, SerialPort& port, PortLister& lister, Clock& clock)
    : window_(window), lister_(lister), line_{port, clock} {}

std::vector<PortRefusal> Configurator::startUp() {
    state_ = ProcessState{};
    if (window_.openMainWindow()) {
        if (window_.createStatusBar()) {
            window_.setStatusText(kCopyrightLine);
        }
        for (const ControlSpec& item : fixedControls()) {
            window_.createControl(item);
        }
    }
    window_.clearPortList();
    std::vector<PortRefusal> refused;
    portEntries_ = discoverPorts(lister_, &refused);
    for (const std::string& name : portEntries_) {
        window_.appendPortList(name);
    }
    chosenPortWent_ = false;
    state_.trace.clearSamples();
    return refused;
}

void Configurator::dispatch(int controlId) {
    if (finished_) {
        return;
    }
    switch (controlId) {
        case ids::LoadButton:
            onLoad();
            break;
        case ids::StoreButton:
            onStore();
            break;
        case ids::QuitButton:
            onQuit();
            break;
        case ids::PortList:
            onPortList();
            break;
        case ids::TraceCheck:
            onTraceCheck();
            break;
        default:
            break;  // edit fields, labels and the receiver's own check boxes carry no command
    }
}

void Configurator::onTraceTimer() {
    if (finished_) {
        return;
    }
    pollSignalIntoForm(line_, state_, window_);
}

void Configurator::refreshPortList() {
    if (finished_) {
        return;
    }
    // The open port is the chosen entry's: only a choice opens one.
    const std::string chosen = window_.controlText(ids::PortList);
    std::vector<std::string> names = refreshPorts(lister_, line_.port, chosen);
    if (names == portEntries_) {
        return;
    }
    portEntries_ = std::move(names);
    window_.clearPortList();
    for (const std::string& name : portEntries_) {
        window_.appendPortList(name);
    }
    if (chosen.empty()) {
        return;
    }
    if (std::find(portEntries_.begin(), portEntries_.end(), chosen) != portEntries_.end()) {
        window_.setControlText(ids::PortList, chosen);
        return;
    }
    // Its device is gone (an adapter pulled out): holding on to it would only keep the
    // system from giving the adapter its old name when it comes back.
    line_.port.closePort();
    chosenPortWent_ = true;
}

void Configurator::onFormCommand(FormCommand command, FileStore& files) {
    if (finished_) {
        return;
    }
    if (command == FormCommand::SaveSettings) {
        saveForm(window_, state_, files);
    } else {
        // The adapter of the last LOAD's port, by its name alone: nothing is opened for it.
        std::string adapterSerial;
        if (!state_.loadedPort.empty()) {
            const std::vector<PortDetails> details = lister_.describe({state_.loadedPort});
            adapterSerial = details.empty() ? std::string() : details.front().serialNumber;
        }
        openIntoForm(window_, state_, files, adapterSerial);
    }
}

void Configurator::onCloseBox() {
    if (!finished_) {
        exitSequence();
    }
}

void Configurator::onLoad() {
    window_.setStatusText("working");
    state_.errorCode = 0;
    if (line_.port.isPortOpen()) {
        state_.loadedPort = window_.controlText(ids::PortList);
        identifyIntoForm(line_, state_, window_);
        readSettingsIntoForm(line_, state_, window_);
        pollSignalIntoForm(line_, state_, window_);
    } else {
        state_.errorCode = noPortError();
    }
    reportError();
}

void Configurator::onStore() {
    state_.errorCode = 0;
    if (!line_.port.isPortOpen()) {
        state_.errorCode = noPortError();
        reportError();
        window_.setStatusText("ready");
        return;
    }
    window_.setStatusText("working");
    // The timer stops before anything is sent; the read-back below restarts it.
    window_.stopTraceTimer();
    const FormStore form = readStoreForm(window_, state_);
    if (form.result.last() != Outcome::Ok) {
        state_.errorCode = errorCodeOf(form.result.last());
    }

    // The message for the checks comes before the read-back, which shows what the receiver
    // really stored and makes its controls as LOAD does.
    class AroundStore final : public StoreHooks {
      public:
        explicit AroundStore(Configurator& app) : app_(app), reaction_(app.state_, app.window_) {}
        bool beginReadBack(const StoreOutcome&) override {
            app_.reportError();
            app_.window_.setStatusText("ready");
            return true;
        }
        SettingsReadObserver* readObserver() override { return &reaction_; }

      private:
        Configurator& app_;
        FormReaction reaction_;
    };
    AroundStore around(*this);
    const StoreOutcome outcome = writeAndVerify(line_, state_.settings, form.request, around);
    if (!outcome.readBack) {
        // Not reached: the form's request holds only what the receiver takes.
        around.beginReadBack(outcome);
        return;
    }
    state_.settings = outcome.readBack->settings;
    showSettingsInForm(state_, window_);
    toggleTrace(state_, window_);
    // Nothing acknowledges a write, so the read-back is also the only proof that the STORE
    // arrived: one that fails or differs from what was sent is reported. A STORE refused by
    // a check has had its message; its read-back is shown but not compared.
    if (form.result.failures.empty() && (state_.errorCode == errors::CommunicationError ||
                                         !outcome.readBack->differences.empty())) {
        state_.errorCode = errors::CommunicationError;
        reportError();
    }
}

void Configurator::onQuit() {
    if (line_.port.isPortOpen()) {
        line_.port.closePort();
    }
    window_.stopTraceTimer();
    window_.closeWindow();
    exitSequence();
}

void Configurator::onPortList() {
    state_.errorCode = 0;
    chosenPortWent_ = false;
    if (!selectPort(line_.port, window_.controlText(ids::PortList))) {
        state_.errorCode = errors::PortNotAvailable;
    }
    reportError();
}

void Configurator::onTraceCheck() {
    state_.errorCode = 0;
    if (line_.port.isPortOpen()) {
        toggleTrace(state_, window_);
    } else {
        state_.errorCode = noPortError();
    }
    reportError();
}

int32_t Configurator::noPortError() const {
    return chosenPortWent_ ? errors::PortNotAvailable : errors::SelectComPort;
}

void Configurator::reportError() {
    const std::string_view message = errorMessage(state_.errorCode);
    if (!message.empty()) {
        window_.showMessage(kMessageCaption, message);
    }
}

void Configurator::exitSequence() {
    line_.port.closePort();
    window_.stopTraceTimer();
    finished_ = true;
}

}  // namespace tamlo
