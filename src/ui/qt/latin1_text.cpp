#include "ui/qt/latin1_text.h"

#include <QByteArray>

namespace tamlo {

std::string toLatin1Text(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString fromLatin1Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tamlo
