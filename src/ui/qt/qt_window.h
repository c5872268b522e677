// MainWindow as Qt widgets. Each control of the table becomes the matching widget at its
// pixel place; the window is a plain top-level QWidget of fixed inner size, so the
// geometry is the table's and not a layout's.
#pragma once

#include <QFont>
#include <QPointer>
#include <QString>

#include <map>
#include <memory>
#include <vector>

#include "ui/qt/latin1_text.h"
#include "ui/window.h"
#include "ui/window_events.h"

class QLabel;
class QMessageBox;
class QStatusBar;
class QTimer;
class QWidget;

namespace tamlo {

class PortListBox;

class QtWindow final : public Window {
  public:
    QtWindow();
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;

    // Where the window's events go. Each runs to its end on the GUI thread; what comes in
    // meanwhile waits for it (WindowEventGate).
    void setEvents(WindowEvents events);
    // While a handler waits on the receiver (the clock's pause service): paints what has
    // changed, serves expose events and the desktop's pings. Input stays queued for after
    // the handler; a TraceTimer expiry and the close box are held until it has returned.
    void serveWhileBusy();
    // A signal or the desktop asks the program to end: the close box is pressed, and like
    // a click on it waits while a handler runs. An open message box is answered, and none
    // opens from now on: it only informs, and nobody may be there to answer it.
    void requestEnd();

    bool openMainWindow() override;
    bool createStatusBar() override;
    void createControl(const ControlSpec& entry) override;
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

    // The widgets themselves, for the program's own checks and pictures; null when absent.
    QWidget* mainWidget() const;
    QWidget* control(int id) const;
    QStatusBar* statusBar() const;
    QLabel* statusField() const;
    QTimer* traceTimer() const;
    // Ids of the controls in creation order, replaced ones at their new place.
    const std::vector<int>& creationOrder() const { return creationOrder_; }

    // Called by the window's widgets. True when the window may close now.
    bool onCloseEvent();
    void placeStatusBar();
    // Ctrl+S, Ctrl+O or the form's context menu.
    void onFormCommand(FormCommand command);

  private:
    class MainWidget;

    void centreOnScreen();
    void dispatch(int id, QWidget* sender);
    void destroyControl(int id);
    void rebuildTabOrder();
    void showImage(QLabel* label, const Image& image);
    PortListBox* portList() const;

    void runCloseBox();

    WindowEvents events_;
    WindowEventGate gate_;
    std::unique_ptr<MainWidget> main_;
    std::unique_ptr<QTimer> traceTimer_;
    // The system's font, at a size at which every text fits its control.
    QFont formFont_;
    QPointer<QStatusBar> statusBar_;
    QPointer<QLabel> statusField_;
    std::map<int, QPointer<QWidget>> controls_;
    std::vector<int> creationOrder_;
    // The control whose event is being handled: replacing it then must wait until its
    // signal has returned.
    QWidget* dispatching_ = nullptr;
    QPointer<QMessageBox> message_;
    bool closing_ = false;
    bool endRequested_ = false;
};

}  // namespace tamlo
