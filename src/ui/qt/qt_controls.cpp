#include "ui/qt/qt_controls.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOption>
#include <QStylePainter>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "ui/qt/latin1_text.h"

namespace tamlo {

namespace {

// A widget that knows where it draws its text.
class HasTextRoom {
  public:
    virtual ~HasTextRoom() = default;
    virtual QRect textRoom() const = 0;
};

class FormEdit final : public QLineEdit, public HasTextRoom {
  public:
    using QLineEdit::QLineEdit;
    QRect textRoom() const override {
        QStyleOptionFrame option;
        initStyleOption(&option);
        // The line edit keeps two pixels free on either side of its text.
        constexpr int kHorizontalMargin = 2;
        return style()
            ->subElementRect(QStyle::SE_LineEditContents, &option, this)
            .marginsRemoved(textMargins())
            .adjusted(kHorizontalMargin, 0, -kHorizontalMargin, 0);
    }
};

class FormLabel final : public QLabel, public HasTextRoom {
  public:
    using QLabel::QLabel;
    QRect textRoom() const override {
        return contentsRect().adjusted(std::max(indent(), 0) + margin(), margin(), -margin(),
                                       -margin());
    }
};

class FormButton final : public QPushButton, public HasTextRoom {
  public:
    using QPushButton::QPushButton;
    QRect textRoom() const override {
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    }
};

class FormCheck final : public QCheckBox, public HasTextRoom {
  public:
    using QCheckBox::QCheckBox;
    QRect textRoom() const override {
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    }
};

// The smallest form font: an 8-point font at 96 dpi is what the table was made for, and
// the eye reads a little less; below that the fit is left to the room the texts have.
constexpr double kSmallestPoints = 6.5;
constexpr int kSmallestPixels = 9;

bool fits(const QWidget* widget, const QFontMetrics& metrics, const QString& text) {
    const QRect room = textRoom(widget);
    return metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height();
}

// One widget of each kind and look, at a place and with a font, to measure texts in.
class Probes {
  public:
    explicit Probes(const QFont& font) : font_(font) {}
    // Whether text fits the control at its place in this font.
    bool fits(const ControlSpec& item, std::string_view text) {
        const QString shown = fromLatin1Text(text);
        if (item.id == ids::StatusBar) {
            return tamlo::fits(statusField(item.place), QFontMetrics(font_), shown);
        }
        QWidget* probe = probeFor(item, shown);
        probe->setGeometry(item.place.x, item.place.y, item.place.width, item.place.height);
        return tamlo::fits(probe, QFontMetrics(font_), shown);
    }

  private:
    // The field as the bar's layout places it.
    QLabel* statusField(const Rect& place) {
        if (!statusBar_) {
            const StatusBarWidgets made = makeStatusBar(nullptr);
            statusBar_.reset(made.bar);
            statusBar_->setFont(font_);
            statusField_ = made.field;
        }
        statusBar_->setGeometry(place.x, place.y, place.width, place.height);
        statusBar_->layout()->activate();
        return statusField_;
    }

    QWidget* probeFor(const ControlSpec& item, const QString& text) {
        // A check box whose text begins with a blank has a look of its own.
        const auto key = std::pair(
            item.kind, item.kind == ControlKind::CheckBox && text.startsWith(QLatin1Char(' ')));
        auto found = probes_.find(key);
        if (found == probes_.end()) {
            ControlSpec look = item;
            look.text = key.second ? " " : "";
            std::unique_ptr<QWidget> widget(makeControlWidget(look, nullptr));
            widget->setFont(font_);
            widget->ensurePolished();
            found = probes_.emplace(key, std::move(widget)).first;
        }
        return found->second.get();
    }

    QFont font_;
    std::map<std::pair<ControlKind, bool>, std::unique_ptr<QWidget>> probes_;
    std::unique_ptr<QStatusBar> statusBar_;
    QLabel* statusField_ = nullptr;
};

bool everyTextFits(const QFont& font) {
    Probes probes(font);
    for (const ShownText& shown : shownTexts()) {
        if (!probes.fits(shown.control, shown.text)) {
            return false;
        }
    }
    return true;
}

}  // namespace

QWidget* makeControlWidget(const ControlSpec& entry, QWidget* parent) {
    const QString text = fromLatin1Text(entry.text);
    switch (entry.kind) {
        case ControlKind::EditField: {
            auto* edit = new FormEdit(text, parent);
            edit->setFrame(true);
            edit->setCursorPosition(0);
            return edit;
        }
        case ControlKind::Label: {
            auto* label = new FormLabel(text, parent);
            // Receiver texts are shown as they are, never as markup.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::BorderedLabel: {
            auto* label = new FormLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label->setIndent(2);
            return label;
        }
        case ControlKind::PushButton: {
            auto* button = new FormButton(text, parent);
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::DropDownList:
            return new PortListBox(parent);
        case ControlKind::CheckBox: {
            auto* check = new FormCheck(text, parent);
            if (text.startsWith(QLatin1Char(' '))) {
                // The receiver's switches carry their own blank between box and words;
                // with the usual gap on top they would not fit their place.
                check->setStyleSheet(QStringLiteral("QCheckBox { spacing: 0px; }"));
            }
            return check;
        }
        case ControlKind::ImageControl: {
            auto* label = new QLabel(parent);
            label->setFocusPolicy(Qt::NoFocus);
            return label;
        }
    }
    return new QLabel(parent);
}

StatusBarWidgets makeStatusBar(QWidget* parent) {
    auto* bar = new QStatusBar(parent);
    bar->setSizeGripEnabled(false);
    bar->setContentsMargins(0, 0, 0, 0);
    auto* field = new QLabel(bar);
    field->setTextFormat(Qt::PlainText);
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    field->setMinimumHeight(kStatusBarMinTextHeight);
    bar->addWidget(field, 1);
    return {bar, field};
}

QRect textRoom(const QWidget* widget) {
    if (const auto* box = dynamic_cast<const PortListBox*>(widget)) {
        return box->labelRoom();
    }
    if (const auto* own = dynamic_cast<const HasTextRoom*>(widget)) {
        return own->textRoom();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->contentsRect();  // the status bar's field
    }
    return {};
}

QFont formFont(const QFont& system) {
    QFont font = system;
    if (system.pointSizeF() > 0) {
        for (double points = system.pointSizeF(); points >= kSmallestPoints; points -= 0.5) {
            font.setPointSizeF(points);
            if (everyTextFits(font)) {
                return font;
            }
        }
        font.setPointSizeF(kSmallestPoints);
        return font;
    }
    for (int pixels = system.pixelSize(); pixels >= kSmallestPixels; --pixels) {
        font.setPixelSize(pixels);
        if (everyTextFits(font)) {
            return font;
        }
    }
    font.setPixelSize(kSmallestPixels);
    return font;
}

PortListBox::PortListBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    // A plain list popup, not a menu placed over the control, so that the list has its
    // fixed height and its scroll bar.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view()->setTextElideMode(Qt::ElideLeft);
    // The closed box names its chosen entry in full too.
    QObject::connect(this, &QComboBox::currentIndexChanged,
                     [this](int index) { setToolTip(index < 0 ? QString() : itemText(index)); });
}

void PortListBox::appendEntry(const QString& name) {
    addItem(name);
    setItemData(count() - 1, name, Qt::ToolTipRole);
}

void PortListBox::showPopup() {
    if (opening_) {
        opening_();
    }
    // As wide as the widest entry with the scroll bar beside it, but never wider than the
    // screen; the entries' tooltips name what is still cut.
    const QFontMetrics metrics(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    }
    const int chrome = 2 * view()->frameWidth() + view()->verticalScrollBar()->sizeHint().width() +
                       2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    const int screenWidth = screen() != nullptr ? screen()->availableGeometry().width() : 0;
    int wanted = std::max(width(), widest + chrome);
    if (screenWidth > 0) {
        wanted = std::min(wanted, screenWidth);
    }
    view()->setMinimumWidth(wanted);
    QComboBox::showPopup();
}

QRect PortListBox::labelRoom() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                   this);
}

QString PortListBox::closedText(int room) const {
    const QString name = currentText();
    const QFontMetrics metrics = fontMetrics();
    if (metrics.horizontalAdvance(name) <= room) {
        return name;
    }
    // Where the name parts from the entry most like it, and where they meet again.
    qsizetype first = 0;
    qsizetype last = name.size();
    for (int i = 0; i < count(); ++i) {
        const QString other = itemText(i);
        qsizetype same = 0;
        while (same < name.size() && same < other.size() && name[same] == other[same]) {
            ++same;
        }
        if (i == currentIndex() || same < first || same == 0) {
            continue;
        }
        qsizetype tail = 0;
        while (tail < name.size() - same && tail < other.size() - same &&
               name[name.size() - 1 - tail] == other[other.size() - 1 - tail]) {
            ++tail;
        }
        first = same;
        last = name.size() - tail;
    }
    if (first == 0) {
        return metrics.elidedText(name, Qt::ElideLeft, room);  // its end: "...ttyUSB0"
    }
    // From the start of the word that differs ("...A10K1234..."), or where it differs
    // ("...1234-if00...") when the word is too long for the box.
    const QChar cut(0x2026);
    qsizetype start = first;
    while (start > 0 && !QStringLiteral("/_-.").contains(name[start - 1])) {
        --start;
    }
    if (metrics.horizontalAdvance(cut + name.mid(start, last - start) + cut) > room) {
        start = first;
    }
    return metrics.elidedText(cut + name.mid(start), Qt::ElideRight, room);
}

void PortListBox::paintEvent(QPaintEvent*) {
    // As QComboBox paints itself, with a name too long for the box shortened to the part
    // that tells it from the other entries.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = closedText(labelRoom().width());
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace tamlo
