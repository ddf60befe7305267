#pragma once
// JSON documents: built by the program as plain values, written out by the platform's JSON
// library (Qt's on Linux). Objects are written with their keys in alphabetical order.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default;  // null
    JsonValue(bool value) : m_value(value) {}
    JsonValue(int value) : m_value(static_cast<double>(value)) {}
    JsonValue(unsigned value) : m_value(static_cast<double>(value)) {}
    // Counts: exact up to 2^53, which no count of Ferrox's comes near.
    JsonValue(std::uint64_t value) : m_value(static_cast<double>(value)) {}
    JsonValue(double value) : m_value(value) {}
    JsonValue(const char* value) : m_value(std::string(value != nullptr ? value : "")) {}
    JsonValue(std::string value) : m_value(std::move(value)) {}

    static JsonValue MakeArray() { return JsonValue(Array{}); }
    static JsonValue MakeObject() { return JsonValue(Object{}); }

    // To an array; to an object (a key given twice keeps its last value).
    JsonValue& Append(JsonValue value);
    JsonValue& Set(const std::string& key, JsonValue value);

    const std::variant<std::monostate, bool, double, std::string, Array, Object>& Value() const { return m_value; }

private:
    explicit JsonValue(Array array) : m_value(std::move(array)) {}
    explicit JsonValue(Object object) : m_value(std::move(object)) {}
    std::variant<std::monostate, bool, double, std::string, Array, Object> m_value;
};

// Compact: one line (for status lines); else indented. A number that is not finite is written as
// null, as JSON has no such numbers.
std::string FormatJson(const JsonValue& value, bool compact);

// Reads a JSON document (an object or an array at the top). False, with "line L, column C: what
// is wrong", when text is not one. A key given twice keeps its last value; the members of an object
// come in no particular order.
bool ParseJson(const std::string& text, JsonValue* value, std::string* error);
