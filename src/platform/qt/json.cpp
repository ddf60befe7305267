#include "platform/json.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonParseError>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {
QJsonValue ToQt(const JsonValue& value) {
    struct Convert {
        QJsonValue operator()(std::monostate) const { return QJsonValue(QJsonValue::Null); }
        QJsonValue operator()(bool b) const { return QJsonValue(b); }
        QJsonValue operator()(double d) const { return std::isfinite(d) ? QJsonValue(d) : QJsonValue(QJsonValue::Null); }
        QJsonValue operator()(const std::string& s) const { return QJsonValue(QString::fromStdString(s)); }
        QJsonValue operator()(const JsonValue::Array& array) const {
            QJsonArray out;
            for (const JsonValue& item : array) out.append(ToQt(item));
            return out;
        }
        QJsonValue operator()(const JsonValue::Object& object) const {
            QJsonObject out;
            for (const auto& [key, item] : object) out.insert(QString::fromStdString(key), ToQt(item));
            return out;
        }
    };
    return std::visit(Convert{}, value.Value());
}
}  // namespace

std::string FormatJson(const JsonValue& value, bool compact) {
    const QJsonValue converted = ToQt(value);
    QJsonDocument document;
    if (converted.isArray()) {
        document = QJsonDocument(converted.toArray());
    } else if (converted.isObject()) {
        document = QJsonDocument(converted.toObject());
    } else {
        // A document holds an array or an object: write the single value inside one, then strip it.
        const QByteArray wrapped = QJsonDocument(QJsonArray{converted}).toJson(QJsonDocument::Compact);
        return wrapped.mid(1, wrapped.size() - 2).toStdString();
    }
    std::string text = document.toJson(compact ? QJsonDocument::Compact : QJsonDocument::Indented).toStdString();
    if (!compact && !text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

namespace {
JsonValue FromQt(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Bool: return JsonValue(value.toBool());
    case QJsonValue::Double: return JsonValue(value.toDouble());
    case QJsonValue::String: return JsonValue(value.toString().toStdString());
    case QJsonValue::Array: {
        JsonValue array = JsonValue::MakeArray();
        for (const QJsonValue& item : value.toArray()) array.Append(FromQt(item));
        return array;
    }
    case QJsonValue::Object: {
        JsonValue object = JsonValue::MakeObject();
        const QJsonObject members = value.toObject();
        for (auto member = members.begin(); member != members.end(); ++member)
            object.Set(member.key().toStdString(), FromQt(member.value()));
        return object;
    }
    default: return JsonValue();
    }
}

// "line 3, column 7" of a byte offset into text.
std::string PlaceOf(const std::string& text, int offset) {
    int line = 1, column = 1;
    for (int at = 0; at < offset && at < static_cast<int>(text.size()); ++at) {
        if (text[static_cast<std::size_t>(at)] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}
}  // namespace

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
    QJsonParseError problem;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &problem);
    if (document.isNull()) {
        if (error != nullptr) *error = PlaceOf(text, problem.offset) + ": " + problem.errorString().toLower().toStdString();
        return false;
    }
    if (value != nullptr) *value = document.isObject() ? FromQt(document.object()) : FromQt(document.array());
    return true;
}
