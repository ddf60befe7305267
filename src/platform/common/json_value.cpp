// The JSON value itself, the same for every backend; the writers are the backends' own.
#include "platform/json.h"

JsonValue& JsonValue::Append(JsonValue value) {
    if (!std::holds_alternative<Array>(m_value)) m_value = Array{};
    std::get<Array>(m_value).push_back(std::move(value));
    return *this;
}

JsonValue& JsonValue::Set(const std::string& key, JsonValue value) {
    if (!std::holds_alternative<Object>(m_value)) m_value = Object{};
    std::get<Object>(m_value).emplace_back(key, std::move(value));
    return *this;
}
