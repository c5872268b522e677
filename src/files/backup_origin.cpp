#include "files/backup_origin.h"

#include "text/conversions.h"

namespace tamlo {

std::vector<std::string> otherReceiver(const SourceInfo& source, const GenerationTraits& traits,
                                       const std::string& firmware,
                                       const std::string& adapterSerial) {
    std::vector<std::string> doubts;
    const std::string from = source.port.empty() ? std::string() : " (" + source.port + ")";
    if (!source.usbSerial.empty() && !adapterSerial.empty() && source.usbSerial != adapterSerial) {
        doubts.push_back("the backup was read through the USB adapter " + source.usbSerial + from +
                         "; this port's adapter is " + adapterSerial);
    }
    if (source.generation != 0 && source.generation != traits.number) {
        doubts.push_back("the backup was read from generation " + formatInteger(source.generation) +
                         " firmware" + from + "; this receiver has firmware " + firmware +
                         " (generation " + formatInteger(traits.number) + ")");
    }
    return doubts;
}

}  // namespace tamlo
