#include "ui/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "trace/image.h"
#include "ui/qt/qt_controls.h"

namespace tamlo {

// The top-level widget: it owns the controls as children and reports its close box and
// its size changes back to the window.
class QtWindow::MainWidget final : public QWidget {
  public:
    explicit MainWidget(QtWindow& owner)
        : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
          owner_(owner) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        // Refused while a handler runs; the window closes when the held close box has run.
        event->setAccepted(owner_.onCloseEvent());
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        owner_.placeStatusBar();
    }
    // A right click on the form, its labels or its buttons: the form's own commands. The
    // fields keep their menus for cut and paste.
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu menu(this);
        QAction* save = menu.addAction(QStringLiteral("Save settings..."));
        save->setShortcut(QKeySequence::Save);
        QAction* open = menu.addAction(QStringLiteral("Open settings..."));
        open->setShortcut(QKeySequence::Open);
        menu.setFont(QApplication::font());
        QAction* chosen = menu.exec(event->globalPos());
        if (chosen == save || chosen == open) {
            owner_.onFormCommand(chosen == save ? FormCommand::SaveSettings
                                                : FormCommand::OpenSettings);
        }
    }

  private:
    QtWindow& owner_;
};

namespace {

// PortList and its open list are kPortListOpenHeight tall together; the list alone is
// that less the control's own 20 pixels.
constexpr int kOpenListHeight = kPortListOpenHeight - 20;

// The open list shows as many entries as fit into its height and scrolls for the rest;
// the height of an entry is known once there is one.
void fitOpenList(QComboBox* combo) {
    const int rowHeight = combo->view()->sizeHintForRow(0);
    if (rowHeight > 0) {
        const int frame = 2 * combo->view()->frameWidth() + 2;
        combo->setMaxVisibleItems(std::max(1, (kOpenListHeight - frame) / rowHeight));
    }
}

QImage toQImage(const Image& image) {
    // The buffer is ours only for the length of the call; the pixmap keeps its own copy.
    return QImage(image.rgb().data(), image.width(), image.height(), image.width() * 3,
                  QImage::Format_RGB888)
        .copy();
}

}  // namespace

QtWindow::QtWindow() : traceTimer_(std::make_unique<QTimer>()) {
    traceTimer_->setInterval(kTraceTimerPeriodMs);
    // A coarse timer may fire up to 5 % early; the receiver is polled once a second, not more.
    traceTimer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(traceTimer_.get(), &QTimer::timeout, [this] { gate_.traceTimerExpired(); });
}

QtWindow::~QtWindow() {
    traceTimer_->stop();
    // The controls die with their parent; drop our guarded pointers first.
    controls_.clear();
    main_.reset();
}

void QtWindow::setEvents(WindowEvents events) {
    events_ = std::move(events);
    WindowEvents gated = events_;
    gated.closeBox = [this] { runCloseBox(); };
    gate_.setEvents(std::move(gated));
}

void QtWindow::serveWhileBusy() {
    if (QCoreApplication::instance() == nullptr || closing_) {
        return;
    }
    // Posted paints, the window system's expose events and pings; timers too, which the
    // gate holds. Keys and clicks stay in the queue for after the handler.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool QtWindow::openMainWindow() {
    if (QApplication::instance() == nullptr) {
        return false;
    }
    main_ = std::make_unique<MainWidget>(*this);
    main_->setWindowTitle(fromLatin1Text(kWindowTitle));
    main_->setBackgroundRole(QPalette::Button);
    main_->setAutoFillBackground(true);
    main_->setFont(QApplication::font());
    formFont_ = formFont(QApplication::font());
    main_->setWindowIcon(QApplication::windowIcon());
    // A fixed size is what keeps the user from resizing it and the window manager from
    // offering to maximise it.
    main_->setFixedSize(kInnerWidth, kInnerHeight);
    const auto shortcut = [this](QKeySequence::StandardKey key, FormCommand command) {
        auto* keys = new QShortcut(QKeySequence(key), main_.get());
        QObject::connect(keys, &QShortcut::activated, [this, command] { onFormCommand(command); });
    };
    shortcut(QKeySequence::Save, FormCommand::SaveSettings);
    shortcut(QKeySequence::Open, FormCommand::OpenSettings);
    main_->show();
    centreOnScreen();
    return true;
}

void QtWindow::centreOnScreen() {
    QScreen* screen = main_->screen();
    if (screen == nullptr) {
        return;
    }
    // The outer size, frame included where the window system has told us about it, is
    // clamped to the screen and centred on it.
    const QRect area = screen->geometry();
    const QSize frame = main_->frameGeometry().size();
    const QSize outer(std::min(frame.width(), area.width()),
                      std::min(frame.height(), area.height()));
    main_->move(area.x() + (area.width() - outer.width()) / 2,
                area.y() + (area.height() - outer.height()) / 2);
}

bool QtWindow::createStatusBar() {
    if (!main_) {
        return false;
    }
    const StatusBarWidgets made = makeStatusBar(main_.get());
    made.bar->setFont(formFont_);
    statusBar_ = made.bar;
    statusField_ = made.field;
    placeStatusBar();
    made.bar->show();
    return true;
}

void QtWindow::placeStatusBar() {
    if (!statusBar_ || !main_) {
        return;
    }
    // Like a native status bar it lies over the bottom of the inner area and follows the
    // bottom edge when the window grows or shrinks.
    // 18 pixels of text and a pixel above and below: the trace image ends 20 pixels above
    // the bottom of the taller window and keeps its last rows visible. A larger font gets
    // the room it needs.
    const int textHeight =
        std::max(kStatusBarMinTextHeight, statusField_ ? statusField_->sizeHint().height() : 0);
    const int height = textHeight + 2;
    statusBar_->setGeometry(0, main_->height() - height, main_->width(), height);
    statusBar_->raise();
}

void QtWindow::createControl(const ControlSpec& entry) {
    if (!main_) {
        return;
    }
    destroyControl(entry.id);
    QWidget* widget = makeControlWidget(entry, main_.get());
    // Message boxes and file dialogs keep the system's font; only the form is fitted.
    widget->setFont(formFont_);
    widget->setGeometry(entry.place.x, entry.place.y, entry.place.width, entry.place.height);
    const int id = entry.id;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QObject::connect(button, &QPushButton::clicked,
                         [this, id, button] { dispatch(id, button); });
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        // clicked comes after the box has toggled itself, and only for the user's clicks
        // (mouse or space bar), not for the program's setChecked.
        QObject::connect(check, &QCheckBox::clicked, [this, id, check] { dispatch(id, check); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (auto* box = dynamic_cast<PortListBox*>(combo)) {
            box->setOpening([this] {
                if (!closing_) {
                    gate_.portListOpening();
                }
            });
        }
        // activated is the user's choice only; entries the program adds or removes do not
        // raise it. Choosing the same entry again counts too: after "Communication Port not
        // available" it is how the user tries the port once more.
        QObject::connect(combo, &QComboBox::activated,
                         [this, id, combo](int) { dispatch(id, combo); });
    }
    // A screen reader names a field after its label; the labels come after the fields in
    // the creation order, so each field carries its label's text itself.
    if (const std::string_view name = accessibleName(id); !name.empty()) {
        widget->setAccessibleName(fromLatin1Text(name));
    }
    if (entry.kind == ControlKind::BorderedLabel) {
        // A frame shares its place with the field that replaces it; the field must stay
        // on top to be typed into, whichever was created last.
        widget->lower();
    }
    widget->show();
    controls_[id] = widget;
    creationOrder_.push_back(id);
    rebuildTabOrder();
    placeStatusBar();
}

void QtWindow::destroyControl(int id) {
    auto found = controls_.find(id);
    if (found == controls_.end()) {
        return;
    }
    QWidget* old = found->second.data();
    controls_.erase(found);
    creationOrder_.erase(std::remove(creationOrder_.begin(), creationOrder_.end(), id),
                         creationOrder_.end());
    if (old == nullptr) {
        return;
    }
    if (old == dispatching_) {
        // Still inside its own signal: take it off the screen now, free it afterwards.
        old->hide();
        old->setParent(nullptr);
        old->deleteLater();
        dispatching_ = nullptr;
    } else {
        delete old;
    }
}

void QtWindow::rebuildTabOrder() {
    QWidget* previous = nullptr;
    for (int id : creationOrder_) {
        QWidget* widget = control(id);
        if (widget == nullptr || (widget->focusPolicy() & Qt::TabFocus) == 0) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

bool QtWindow::hasControl(int id) const {
    return control(id) != nullptr;
}

QWidget* QtWindow::control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second.data();
}

QWidget* QtWindow::mainWidget() const {
    return main_.get();
}
QStatusBar* QtWindow::statusBar() const {
    return statusBar_.data();
}
QLabel* QtWindow::statusField() const {
    return statusField_.data();
}
QTimer* QtWindow::traceTimer() const {
    return traceTimer_.get();
}

PortListBox* QtWindow::portList() const {
    return dynamic_cast<PortListBox*>(control(ids::PortList));
}

std::string QtWindow::controlText(int id) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return toLatin1Text(edit->text());
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return toLatin1Text(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return toLatin1Text(button->text());
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentIndex() < 0 ? std::string() : toLatin1Text(combo->currentText());
    }
    return {};
}

void QtWindow::setControlText(int id, std::string_view text) {
    QWidget* widget = control(id);
    const QString value = fromLatin1Text(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
        // Show the start of a long text, as a freshly filled field does.
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
}

int32_t QtWindow::controlState(int id) {
    auto* check = qobject_cast<QCheckBox*>(control(id));
    return check != nullptr && check->isChecked() ? 1 : 0;
}

void QtWindow::setControlState(int id, int32_t state) {
    if (auto* check = qobject_cast<QCheckBox*>(control(id))) {
        check->setChecked(state != 0);
    }
}

void QtWindow::clearPortList() {
    if (PortListBox* combo = portList()) {
        combo->clear();
    }
}

void QtWindow::appendPortList(std::string_view name) {
    if (PortListBox* combo = portList()) {
        // A combo box chooses its first entry by itself; the list must stay unchosen
        // until the user picks one.
        const int chosen = combo->currentIndex();
        combo->appendEntry(fromLatin1Text(name));
        combo->setCurrentIndex(chosen);
        fitOpenList(combo);
    }
}

void QtWindow::setStatusText(std::string_view text) {
    if (statusField_) {
        statusField_->setText(fromLatin1Text(text));
        // Painted now, not when the handler that set it returns: "working" and the
        // firmware line are what the user sees during the seconds a LOAD takes.
        statusField_->repaint();
    }
}

bool QtWindow::setInnerHeight(int height) {
    if (!main_ || height <= 0) {
        return false;
    }
    // Only the height changes; the window keeps its place and its width.
    const QPoint place = main_->pos();
    main_->setFixedSize(main_->width(), height);
    if (main_->pos() != place) {
        main_->move(place);
    }
    placeStatusBar();
    return main_->height() == height;
}

void QtWindow::showImage(QLabel* label, const Image& image) {
    label->setPixmap(QPixmap::fromImage(toQImage(image)));
    label->resize(image.width(), image.height());
}

void QtWindow::createTraceImage(const Image& image) {
    createControl(*findControl(ids::TraceImage));
    if (auto* label = qobject_cast<QLabel*>(control(ids::TraceImage))) {
        showImage(label, image);
    }
}

void QtWindow::setTraceImage(const Image& image) {
    if (auto* label = qobject_cast<QLabel*>(control(ids::TraceImage))) {
        showImage(label, image);
    }
}

void QtWindow::showMessage(std::string_view caption, std::string_view text) {
    if (endRequested_) {
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, fromLatin1Text(caption), fromLatin1Text(text),
                    QMessageBox::Ok, main_.get());
    box.setTextFormat(Qt::PlainText);
    // exec runs a nested event loop: TraceTimer's ticks go on meanwhile while the rest of
    // the window takes no input.
    WindowEventGate::ModalScope modal(gate_);
    const QPointer<QMessageBox> outer = message_;
    message_ = &box;
    box.exec();
    message_ = outer;
    // Asked to end inside a box opened over another: that one is answered too.
    if (endRequested_ && message_) {
        message_->done(QMessageBox::Ok);
    }
}

ChosenFile QtWindow::chooseSettingsFile(FileDialog dialog) {
    if (endRequested_ || !main_) {
        return {};
    }
    const bool save = dialog == FileDialog::Save;
    QFileDialog box(main_.get(),
                    save ? QStringLiteral("Save settings") : QStringLiteral("Open settings"));
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setNameFilters(
        {QStringLiteral("Settings files (*.toml *.json)"), QStringLiteral("All files (*)")});
    box.setDefaultSuffix(QStringLiteral("toml"));
    if (save) {
        box.selectFile(QStringLiteral("settings.toml"));
    }
    // Like a message box: TraceTimer ticks on, the form waits.
    WindowEventGate::ModalScope modal(gate_);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return {};
    }
    const QString file = box.selectedFiles().constFirst();
    // The path goes to the system as the system spells it, not as a receiver text: a name
    // outside Latin-1 must still open.
    const QByteArray path = QFile::encodeName(file);
    return {std::string(path.constData(), static_cast<size_t>(path.size())),
            toLatin1Text(QFileInfo(file).fileName())};
}

void QtWindow::onFormCommand(FormCommand command) {
    if (!closing_) {
        gate_.formCommand(command);
    }
}

void QtWindow::startTraceTimer() {
    gate_.dropPendingExpiry();
    traceTimer_->start();
}

void QtWindow::stopTraceTimer() {
    gate_.dropPendingExpiry();
    traceTimer_->stop();
}

void QtWindow::closeWindow() {
    traceTimer_->stop();
    if (main_ && !closing_) {
        // The program closes itself (QUIT): the close box's exit sequence must not run
        // a second time.
        closing_ = true;
        main_->close();
    }
}

void QtWindow::requestEnd() {
    endRequested_ = true;
    if (message_) {
        message_->done(QMessageBox::Ok);
    }
    if (main_ && !closing_) {
        main_->close();
    }
}

bool QtWindow::onCloseEvent() {
    if (!closing_) {
        gate_.closeBox();
    }
    return closing_;
}

void QtWindow::runCloseBox() {
    if (closing_) {
        return;
    }
    closing_ = true;
    traceTimer_->stop();
    gate_.dropPendingExpiry();
    if (events_.closeBox) {
        events_.closeBox();
    }
    // Held until a handler had returned, the close event was refused: close now.
    if (main_ && main_->isVisible()) {
        main_->close();
    }
}

void QtWindow::dispatch(int id, QWidget* sender) {
    if (closing_) {
        return;
    }
    QWidget* outer = dispatching_;
    dispatching_ = sender;
    gate_.controlEvent(id);
    dispatching_ = outer;
}

}  // namespace tamlo
