// Reading a settings file written in JSON, with nlohmann-json's event (SAX) interface, so
// that every key and value is met with its place in the file: an error names the line and
// column, and a key named twice is an error instead of the last one silently winning.
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "files/settings_builder.h"
#include "files/settings_file.h"

namespace tamlo {

namespace {

using Json = nlohmann::json;

// A pointer into the text that tells, as the library reads through it, how far it got.
class CountingIterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* at, const char** reached) : at_(at), reached_(reached) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        if (reached_ != nullptr) {
            *reached_ = at_;
        }
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

  private:
    const char* at_ = nullptr;
    const char** reached_ = nullptr;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class Reader final : public nlohmann::json_sax<Json> {
  public:
    Reader(std::string_view text, SettingsBuilder& builder)
        : text_(text), reached_(text.data()), builder_(builder) {}

    const char** reached() { return &reached_; }

    bool key(std::string& name) override {
        // The library has just read the key's closing quote.
        const size_t end = offset();
        const size_t open = keyStart(end);
        const Place place = placeOf(text_, open);
        keyPlace_ = place;
        valueAt_ = valueStart(end);
        Frame& frame = frames_.back();
        if (frame.context != Context::Skip) {
            const auto [seen, fresh] = frame.keys.emplace(name, place);
            if (!fresh) {
                builder_.error(place, "the key '" + qualified(frame, name) +
                                          "' is named twice (first at " +
                                          std::to_string(seen->second.line) + ":" +
                                          std::to_string(seen->second.column) + ")");
            }
        }
        pendingName_ = name;
        pendingSetting_ = nullptr;
        pendingTable_ = SettingsBuilder::Table::None;
        switch (frame.context) {
            case Context::Root:
                pendingTable_ = builder_.topKey(name, place);
                break;
            case Context::Settings:
                pendingSetting_ = builder_.settingsKey(name, place);
                break;
            case Context::Source:
                builder_.sourceKey(name, place);
                break;
            case Context::Skip:
                break;
        }
        return true;
    }

    bool start_object(std::size_t) override {
        if (frames_.empty()) {
            frames_.push_back({Context::Root, {}});
            return true;
        }
        Context next = Context::Skip;
        const Context here = frames_.back().context;
        if (here == Context::Root && pendingTable_ == SettingsBuilder::Table::Settings) {
            next = Context::Settings;
        } else if (here == Context::Root && pendingTable_ == SettingsBuilder::Table::Source) {
            next = Context::Source;
        } else {
            scalar("an object");
        }
        frames_.push_back({next, {}});
        return true;
    }
    bool end_object() override {
        frames_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override {
        scalar("an array");
        frames_.push_back({Context::Skip, {}});
        return true;
    }
    bool end_array() override {
        frames_.pop_back();
        return true;
    }

    bool null() override { return scalar("null"); }
    bool boolean(bool value) override {
        if (const SettingKey* key = settingHere()) {
            builder_.boolean(*key, value, valuePlace());
            return true;
        }
        return scalar("a boolean");
    }
    bool number_integer(number_integer_t value) override {
        if (const SettingKey* key = settingHere()) {
            builder_.integer(*key, value, valuePlace());
            return true;
        }
        if (inSource()) {
            builder_.sourceInteger(pendingName_, value);
        }
        return scalar("an integer");
    }
    bool number_unsigned(number_unsigned_t value) override {
        // Beyond int64 only in value, never in range: clamped, and refused by every check.
        constexpr auto kMax = static_cast<number_unsigned_t>(INT64_MAX);
        return number_integer(value > kMax ? INT64_MAX : static_cast<int64_t>(value));
    }
    bool number_float(number_float_t, const string_t&) override {
        return scalar("a floating-point number");
    }
    bool string(string_t& value) override {
        if (const SettingKey* key = settingHere()) {
            builder_.text(*key, value, valuePlace());
            return true;
        }
        if (inSource()) {
            builder_.sourceText(pendingName_, value);
        }
        return scalar("a string");
    }
    bool binary(binary_t&) override { return scalar("binary data"); }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) override {
        // The library counts the offending byte from 1.
        std::string what = error.what();
        const size_t syntax = what.find("syntax error");
        const size_t bracket = what.find("] ");
        if (syntax != std::string::npos) {
            what = what.substr(syntax);
        } else if (bracket != std::string::npos) {
            what = what.substr(bracket + 2);
        }
        builder_.error(placeOf(text_, position > 0 ? position - 1 : 0), what);
        return false;
    }

  private:
    enum class Context { Root, Settings, Source, Skip };
    struct Frame {
        Context context;
        std::map<std::string, Place> keys;
    };

    size_t offset() const { return static_cast<size_t>(reached_ - text_.data()); }

    size_t keyStart(size_t end) const {
        // Back from the closing quote to the opening one that no backslash escapes.
        size_t i = end >= 2 ? end - 2 : 0;
        while (i > 0 && !(text_[i] == '"' && text_[i - 1] != '\\')) {
            --i;
        }
        return i;
    }

    size_t valueStart(size_t keyEnd) const {
        size_t i = keyEnd;
        while (i < text_.size() && (isBlank(text_[i]) || text_[i] == ':')) {
            ++i;
        }
        return i;
    }

    Place valuePlace() const { return placeOf(text_, valueAt_); }

    std::string qualified(const Frame& frame, const std::string& name) const {
        if (frame.context == Context::Settings) {
            return std::string(kSettingsTable) + "." + name;
        }
        if (frame.context == Context::Source) {
            return std::string(kSourceTable) + "." + name;
        }
        return name;
    }

    // The setting whose value comes now, if the value stands directly in [settings].
    const SettingKey* settingHere() const {
        return !frames_.empty() && frames_.back().context == Context::Settings ? pendingSetting_
                                                                               : nullptr;
    }

    bool inSource() const { return !frames_.empty() && frames_.back().context == Context::Source; }

    // A value that is not a setting's own: wrong for a setting, for a table, or for the
    // whole document; ignored inside [source] and inside what was already refused.
    bool scalar(std::string_view found) {
        if (frames_.empty()) {
            builder_.error({1, 1}, "wrong type: expected an object, found " + std::string(found));
            return true;
        }
        switch (frames_.back().context) {
            case Context::Root:
                if (pendingTable_ != SettingsBuilder::Table::None) {
                    builder_.notATable(pendingName_, found, keyPlace_);
                }
                break;
            case Context::Settings:
                if (pendingSetting_ != nullptr) {
                    builder_.wrongType(*pendingSetting_, found, valuePlace());
                }
                break;
            case Context::Source:
            case Context::Skip:
                break;
        }
        return true;
    }

    std::string_view text_;
    const char* reached_;
    SettingsBuilder& builder_;
    std::vector<Frame> frames_;
    std::string pendingName_;
    const SettingKey* pendingSetting_ = nullptr;
    SettingsBuilder::Table pendingTable_ = SettingsBuilder::Table::None;
    Place keyPlace_;
    size_t valueAt_ = 0;
};

}  // namespace

FileParse parseSettingsJson(std::string_view text, const std::string& fileName) {
    SettingsBuilder builder(fileName);
    if (refuseNulBytes(text, builder)) {
        return builder.finish();
    }
    Reader reader(text, builder);
    const char* begin = text.data();
    try {
        Json::sax_parse(CountingIterator(begin, reader.reached()),
                        CountingIterator(begin + text.size(), nullptr), &reader);
    } catch (const Json::exception& error) {
        // The event interface reports its errors through parse_error; anything else that
        // the library throws is still a fault in the file, not the end of the program.
        builder.error({}, error.what());
    }
    return builder.finish();
}

}  // namespace tamlo
