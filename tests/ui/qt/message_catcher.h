// Answers the program's message boxes from inside their modal loop, the way a user
// would, and keeps what each one showed.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <string>
#include <vector>

namespace tamlo::testing {

struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton*>::size_type buttonCount = 0;
    QString buttonText;
    bool okButton = false;
    QWidget* parent = nullptr;
    bool modal = false;
};

class MessageCatcher {
  public:
    // Boxes are dismissed once they have been open for holdMs.
    explicit MessageCatcher(int holdMs = 0) : holdMs_(holdMs) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }

    const std::vector<SeenMessage>& seen() const { return seen_; }
    void setHoldMs(int holdMs) { holdMs_ = holdMs; }

  private:
    void look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Boxes live on the stack and may reuse an address: mark each one instead.
        if (box == nullptr || box->property("tamloCaught").toBool()) {
            return;
        }
        box->setProperty("tamloCaught", true);
        SeenMessage message;
        message.title = box->windowTitle();
        message.text = box->text();
        message.icon = box->icon();
        message.buttonCount = box->buttons().size();
        message.okButton = box->standardButtons() == QMessageBox::Ok;
        if (!box->buttons().isEmpty()) {
            message.buttonText = box->buttons().front()->text();
        }
        message.parent = box->parentWidget();
        message.modal = box->isModal();
        seen_.push_back(message);
        QTimer::singleShot(holdMs_, box, [box] {
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                ok->click();
            } else {
                box->reject();
            }
        });
    }

    QTimer timer_;
    int holdMs_;
    std::vector<SeenMessage> seen_;
};

}  // namespace tamlo::testing
