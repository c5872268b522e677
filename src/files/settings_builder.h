// What the TOML and the JSON reader have in common: each walks its document and reports
// the keys and values it meets with their places; the builder applies the one schema and
// words every error the same way for both formats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/setting_keys.h"
#include "files/settings_file.h"

namespace tamlo {

struct Place {
    int64_t line = 0;    // from 1; 0 where the format gives none
    int64_t column = 0;  // from 1, in characters
};

// Line and column (from 1, counting characters, not UTF-8 continuation bytes) of a byte.
Place placeOf(std::string_view text, size_t offset);

class SettingsBuilder {
  public:
    explicit SettingsBuilder(std::string fileName) : file_(std::move(fileName)) {}

    void error(Place place, std::string message);
    bool failed() const { return !result_.errors.empty(); }

    // A key at the top of the document. Returns which table it opens, if it is one.
    enum class Table { Settings, Source, None };
    Table topKey(std::string_view name, Place place);
    // The top key names a table but holds something else.
    void notATable(std::string_view name, std::string_view found, Place place);
    // A key inside [source] (or [receiver]): a setting there is misplaced; other keys are
    // only a record, read where they have the type this tool writes and else passed over.
    void sourceKey(std::string_view name, Place place);
    void sourceText(std::string_view name, std::string_view value);
    void sourceInteger(std::string_view name, int64_t value);

    // A key inside [settings]: the key, or nothing (the error is recorded) when unknown.
    const SettingKey* settingsKey(std::string_view name, Place place);
    // Its value, by the type the document gave it (UTF-8 text for strings).
    void text(const SettingKey& key, std::string_view value, Place place);
    void integer(const SettingKey& key, int64_t value, Place place);
    void boolean(const SettingKey& key, bool value, Place place);
    void wrongType(const SettingKey& key, std::string_view found, Place place);

    // The settings, and every error in the order of the file.
    FileParse finish();

  private:
    std::string file_;
    FileParse result_;
    std::string_view sourceTable_ = kSourceTable;  // as the file names it
};

// The first byte that no settings file can hold (a NUL byte), as an error; and the
// characters the TOML library must not see.
bool refuseNulBytes(std::string_view text, SettingsBuilder& builder);

}  // namespace tamlo
