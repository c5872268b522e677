#include "files/ports_file.h"

#include <algorithm>

#include "files/toml_document.h"
#include "text/latin1.h"

namespace tamlo {

namespace {

constexpr std::string_view kDefaultKey = "default";

bool nameCharacter(char c, bool first) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return alnum || (!first && (c == '-' || c == '_' || c == '.'));
}

void readEntry(std::string_view name, const toml::node& node, SettingsBuilder& builder,
               PortsFile& ports) {
    const Place place = tomlPlace(node.source());
    PortName entry{std::string(name), {}, {}};
    if (const auto* text = node.as_string()) {
        entry.device = text->get();
    } else if (const auto* table = node.as_table()) {
        for (auto&& [key, value] : *table) {
            const auto* text = value.as_string();
            std::string* field = key.str() == "device"   ? &entry.device
                                 : key.str() == "serial" ? &entry.serial
                                                         : nullptr;
            if (field == nullptr) {
                builder.error(tomlPlace(key.source()), std::string(name) + ": unknown key '" +
                                                           std::string(key.str()) +
                                                           "' (a port is a device or a serial)");
            } else if (text == nullptr || text->get().empty()) {
                builder.error(tomlPlace(value.source()),
                              std::string(name) + "." + std::string(key.str()) +
                                  ": expected a non-empty string, found " +
                                  std::string(tomlTypeName(value.type())));
            } else {
                *field = text->get();
            }
        }
    } else {
        builder.error(place, std::string(name) +
                                 ": expected a device path or a table such as { serial = "
                                 "\"A10K3QXZ\" }, found " +
                                 std::string(tomlTypeName(node.type())));
        return;
    }
    if (entry.device.empty() == entry.serial.empty()) {
        builder.error(place, std::string(name) + ": give a device or a serial, one of the two");
        return;
    }
    ports.names.push_back(std::move(entry));
}

}  // namespace

const PortName* PortsFile::find(std::string_view name) const {
    const auto found =
        std::find_if(names.begin(), names.end(), [&](const PortName& p) { return p.name == name; });
    return found == names.end() ? nullptr : &*found;
}

std::string portNameProblem(std::string_view text) {
    if (text.empty()) {
        return "a name cannot be empty";
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (!nameCharacter(text[i], i == 0)) {
            return "a name is letters, digits, '-', '_' and '.', beginning with a letter or "
                   "digit (it names the backup files)";
        }
    }
    return {};
}

PortsFileParse parsePortsFile(std::string_view text, const std::string& fileName) {
    SettingsBuilder builder(fileName);
    PortsFileParse result;
    if (const std::optional<toml::table> document = readTomlDocument(text, fileName, builder)) {
        for (auto&& [key, node] : *document) {
            const Place place = tomlPlace(key.source());
            if (key.str() == kDefaultKey) {
                if (const auto* name = node.as_string(); name != nullptr && !name->get().empty()) {
                    result.ports.defaultPort = name->get();
                } else {
                    builder.error(place, "default: expected the name of a port, as a string");
                }
            } else if (const std::string problem = portNameProblem(key.str()); !problem.empty()) {
                builder.error(place, "'" + std::string(key.str()) + "': " + problem);
            } else {
                readEntry(key.str(), node, builder, result.ports);
            }
        }
    }
    result.errors = builder.finish().errors;
    return result;
}

void mergePortsFile(PortsFile& into, const PortsFile& later) {
    for (const PortName& entry : later.names) {
        std::erase_if(into.names, [&](const PortName& p) { return p.name == entry.name; });
        into.names.push_back(entry);
    }
    if (!later.defaultPort.empty()) {
        into.defaultPort = later.defaultPort;
    }
}

}  // namespace tamlo
