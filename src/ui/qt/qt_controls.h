// The widgets of the form, one for each kind of control of the control table, and the font
// they share. The table's places were made for an 8-point Windows font at 96 dpi; most
// desktop fonts are wider, so the form takes the system's font at the largest size at which
// every text of the table, and the widest content the program puts into a control, fits its
// place. The places themselves stay as the table gives them.
#pragma once

#include <QComboBox>
#include <QFont>
#include <QRect>
#include <QWidget>

#include <functional>

class QLabel;
class QStatusBar;

#include "ui/control_table.h"

namespace tamlo {

// The widget of a control of the table, with its text, not yet placed.
QWidget* makeControlWidget(const ControlSpec& entry, QWidget* parent);

// The status bar with its one full-width field, not yet placed.
struct StatusBarWidgets {
    QStatusBar* bar = nullptr;
    QLabel* field = nullptr;
};
StatusBarWidgets makeStatusBar(QWidget* parent);

// The area a widget of the form draws its text in, in its own style: the label beside a
// check box's indicator, a field inside its frame and margins. Empty for anything else.
QRect textRoom(const QWidget* widget);

// The system's font at the largest size, in steps of half a point (or a pixel), at which
// every shown text fits its control; never below a size that is still read easily.
QFont formFont(const QFont& system);

// PortList: it brings its entries up to date when the user opens it, opens as wide as its
// widest entry (up to the screen) and names each entry, and its chosen one, in full as a
// tooltip. A chosen name too long for the closed box shows from where it parts from the
// entry most like it ("...A10K1234-if..." beside "...A10K5678-if..."), or else its end
// ("...ttyUSB0").
class PortListBox final : public QComboBox {
  public:
    explicit PortListBox(QWidget* parent);

    // Runs just before the list opens.
    void setOpening(std::function<void()> opening) { opening_ = std::move(opening); }
    // An entry at the end, with its full name as its tooltip.
    void appendEntry(const QString& name);
    void showPopup() override;
    QRect labelRoom() const;
    // The chosen entry's name as the closed box shows it in room pixels.
    QString closedText(int room) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<void()> opening_;
};

}  // namespace tamlo
