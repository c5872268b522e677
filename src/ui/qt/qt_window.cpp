#include "ui/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "trace/image.h"

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
        owner_.onCloseEvent();
        event->accept();
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        owner_.placeStatusBar();
    }

  private:
    QtWindow& owner_;
};

namespace {

// The open drop-down list, PortList and its list together, is about this tall.
constexpr int kOpenListHeight = kPortListOpenHeight - 20;

QWidget* makeWidget(const ControlSpec& spec, QWidget* parent) {
    const QString text = fromLatin1Text(spec.text);
    switch (spec.kind) {
        case ControlKind::EditField: {
            auto* edit = new QLineEdit(text, parent);
            edit->setFrame(true);
            edit->setCursorPosition(0);
            return edit;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text, parent);
            // Receiver texts are shown as they are, never as markup.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::BorderedLabel: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label->setIndent(2);
            return label;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::DropDownList: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(false);
            // A plain list popup, not a menu placed over the control, so that the list
            // has its fixed height and its scroll bar.
            combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
            combo->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            const int rowHeight = std::max(1, combo->view()->sizeHintForRow(0) > 0
                                                  ? combo->view()->sizeHintForRow(0)
                                                  : combo->fontMetrics().height() + 2);
            combo->setMaxVisibleItems(std::max(1, kOpenListHeight / rowHeight));
            return combo;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::ImageControl: {
            auto* label = new QLabel(parent);
            label->setFocusPolicy(Qt::NoFocus);
            return label;
        }
    }
    return new QLabel(parent);
}

QImage toQImage(const Image& image) {
    // The buffer is ours only for the length of the call; the pixmap keeps its own copy.
    return QImage(image.rgb().data(), image.width(), image.height(), image.width() * 3,
                  QImage::Format_RGB888)
        .copy();
}

}  // namespace

std::string toLatin1Text(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString fromLatin1Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QtWindow::QtWindow() : traceTimer_(std::make_unique<QTimer>()) {
    traceTimer_->setInterval(kTraceTimerPeriodMs);
    traceTimer_->setTimerType(Qt::CoarseTimer);
    QObject::connect(traceTimer_.get(), &QTimer::timeout, [this] {
        if (handlers_.traceTimer) {
            handlers_.traceTimer();
        }
    });
}

QtWindow::~QtWindow() {
    traceTimer_->stop();
    // The controls die with their parent; drop our guarded pointers first.
    controls_.clear();
    main_.reset();
}

void QtWindow::setHandlers(QtWindowHandlers handlers) {
    handlers_ = std::move(handlers);
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
    main_->setWindowIcon(QApplication::windowIcon());
    // A fixed size is what keeps the user from resizing it and the window manager from
    // offering to maximise it.
    main_->setFixedSize(kInnerWidth, kInnerHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer(std::min(kInnerWidth, area.width()),
                          std::min(kInnerHeight, area.height()));
        main_->move(area.x() + (area.width() - outer.width()) / 2,
                    area.y() + (area.height() - outer.height()) / 2);
    }
    main_->show();
    return true;
}

bool QtWindow::createStatusBar() {
    if (!main_) {
        return false;
    }
    auto* bar = new QStatusBar(main_.get());
    bar->setSizeGripEnabled(false);
    auto* field = new QLabel(bar);
    field->setTextFormat(Qt::PlainText);
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    field->setMinimumHeight(kStatusBarMinTextHeight);
    bar->addWidget(field, 1);
    statusBar_ = bar;
    statusField_ = field;
    placeStatusBar();
    bar->show();
    return true;
}

void QtWindow::placeStatusBar() {
    if (!statusBar_ || !main_) {
        return;
    }
    // Like a native status bar it lies over the bottom of the inner area and follows the
    // bottom edge when the window grows or shrinks.
    const int height = std::max(statusBar_->sizeHint().height(), kStatusBarMinTextHeight + 2);
    statusBar_->setGeometry(0, main_->height() - height, main_->width(), height);
    statusBar_->raise();
}

void QtWindow::createControl(const ControlSpec& spec) {
    if (!main_) {
        return;
    }
    destroyControl(spec.id);
    QWidget* widget = makeWidget(spec, main_.get());
    widget->setGeometry(spec.place.x, spec.place.y, spec.place.width, spec.place.height);
    const int id = spec.id;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QObject::connect(button, &QPushButton::clicked,
                         [this, id, button] { dispatch(id, button); });
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        // clicked comes after the box has toggled itself, and only for the user's clicks
        // (mouse or space bar), not for the program's setChecked.
        QObject::connect(check, &QCheckBox::clicked, [this, id, check] { dispatch(id, check); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        lastPortIndex_ = -1;
        // activated is the user's choice only; entries the program adds or removes do not
        // raise it. Choosing the entry that is already chosen changes nothing.
        QObject::connect(combo, &QComboBox::activated, [this, id, combo](int index) {
            if (index != lastPortIndex_) {
                lastPortIndex_ = index;
                dispatch(id, combo);
            }
        });
    }
    if (spec.kind == ControlKind::BorderedLabel) {
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

QComboBox* QtWindow::portList() const {
    return qobject_cast<QComboBox*>(control(ids::PortList));
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
    if (QComboBox* combo = portList()) {
        combo->clear();
        lastPortIndex_ = -1;
    }
}

void QtWindow::appendPortList(std::string_view name) {
    if (QComboBox* combo = portList()) {
        // A combo box chooses its first entry by itself; the list must stay unchosen
        // until the user picks one.
        const int chosen = combo->currentIndex();
        combo->addItem(fromLatin1Text(name));
        combo->setCurrentIndex(chosen);
    }
}

void QtWindow::setStatusText(std::string_view text) {
    if (statusField_) {
        statusField_->setText(fromLatin1Text(text));
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
    ControlSpec spec{ids::TraceImage, "TraceImage", ControlKind::ImageControl, kTraceImagePlace,
                     ""};
    createControl(spec);
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
    QMessageBox box(QMessageBox::NoIcon, fromLatin1Text(caption), fromLatin1Text(text),
                    QMessageBox::Ok, main_.get());
    box.setTextFormat(Qt::PlainText);
    // exec runs a nested event loop: TraceTimer's ticks go on meanwhile while the rest of
    // the window takes no input.
    box.exec();
}

void QtWindow::startTraceTimer() {
    traceTimer_->start();
}

void QtWindow::stopTraceTimer() {
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

void QtWindow::onCloseEvent() {
    if (closing_) {
        return;
    }
    closing_ = true;
    traceTimer_->stop();
    if (handlers_.closeBox) {
        handlers_.closeBox();
    }
}

void QtWindow::dispatch(int id, QWidget* sender) {
    if (!handlers_.controlEvent || closing_) {
        return;
    }
    QWidget* outer = dispatching_;
    dispatching_ = sender;
    handlers_.controlEvent(id);
    dispatching_ = outer;
}

}  // namespace tamlo
