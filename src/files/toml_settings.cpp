// Reading a settings file written in TOML, with toml++.
#include <string>

#include "files/settings_builder.h"
#include "files/settings_file.h"
#include "files/toml_document.h"

namespace tamlo {

namespace {

void readSettingsTable(SettingsBuilder& builder, const toml::table& table) {
    for (auto&& [key, node] : table) {
        const SettingKey* setting = builder.settingsKey(key.str(), tomlPlace(key.source()));
        if (setting == nullptr) {
            continue;
        }
        const Place place = tomlPlace(node.source());
        if (const auto* text = node.as_string()) {
            builder.text(*setting, text->get(), place);
        } else if (const auto* integer = node.as_integer()) {
            builder.integer(*setting, integer->get(), place);
        } else if (const auto* boolean = node.as_boolean()) {
            builder.boolean(*setting, boolean->get(), place);
        } else {
            builder.wrongType(*setting, tomlTypeName(node.type()), place);
        }
    }
}

void readSourceTable(SettingsBuilder& builder, const toml::table& table) {
    for (auto&& [key, node] : table) {
        builder.sourceKey(key.str(), tomlPlace(key.source()));
        if (const auto* text = node.as_string()) {
            builder.sourceText(key.str(), text->get());
        } else if (const auto* integer = node.as_integer()) {
            builder.sourceInteger(key.str(), integer->get());
        }
    }
}

}  // namespace

FileParse parseSettingsToml(std::string_view text, const std::string& fileName) {
    SettingsBuilder builder(fileName);
    const std::optional<toml::table> parsed = readTomlDocument(text, fileName, builder);
    if (!parsed) {
        return builder.finish();
    }
    for (auto&& [key, node] : *parsed) {
        const Place place = tomlPlace(key.source());
        const SettingsBuilder::Table table = builder.topKey(key.str(), place);
        if (table == SettingsBuilder::Table::None) {
            continue;
        }
        const toml::table* contents = node.as_table();
        if (contents == nullptr) {
            builder.notATable(key.str(), tomlTypeName(node.type()), place);
        } else if (table == SettingsBuilder::Table::Settings) {
            readSettingsTable(builder, *contents);
        } else {
            readSourceTable(builder, *contents);
        }
    }
    return builder.finish();
}

}  // namespace tamlo
