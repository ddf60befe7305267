#include "platform/json.h"

#include <cmath>

#include <QJsonArray>
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
