// JSON written as the Linux build's Qt writes it: keys in order (the last of a repeated key wins),
// compact with no spaces or indented by four with "key": value, integral numbers up to 2^53 as
// integers and others in Qt's shortest form, not-finite numbers as
// null, and strings escaped where JSON requires it (bytes that are not UTF-8 become U+FFFD).

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

#include "platform/json.h"

namespace {

// Above this an integral double may not be the integer it was made from; Qt writes it as a double.
constexpr double kLargestExactInteger = 9007199254740992.0;  // 2^53

// Qt's shortest form: the fewest digits that read back the same, written in decimal or in
// scientific notation, whichever is shorter (decimal on a tie), exponents with at least two digits.
std::string ShortestForm(double value) {
    char scientific[40];
    const auto done = std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific);
    const std::string text(scientific, done.ptr);
    const std::size_t e = text.find('e');
    std::string digits;
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] >= '0' && text[i] <= '9') digits += text[i];
    const bool negative = text[0] == '-';
    const int exponent = std::atoi(text.c_str() + e + 1);
    const int count = static_cast<int>(digits.size());
    const int point = exponent + 1;  // digits before the decimal point
    std::string decimal;
    if (point <= 0) {
        decimal = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (point >= count) {
        decimal = digits + std::string(static_cast<std::size_t>(point - count), '0');
    } else {
        decimal = digits.substr(0, static_cast<std::size_t>(point)) + "." + digits.substr(static_cast<std::size_t>(point));
    }
    std::string sci = digits.substr(0, 1);
    if (count > 1) sci += "." + digits.substr(1);
    const int magnitude = exponent < 0 ? -exponent : exponent;
    sci += std::string(exponent < 0 ? "e-" : "e+") + (magnitude < 10 ? "0" : "") + std::to_string(magnitude);
    return (negative ? "-" : "") + (decimal.size() <= sci.size() ? decimal : sci);
}

void WriteNumber(double value, std::string& out) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    if (value == std::trunc(value) && std::fabs(value) <= kLargestExactInteger) {
        char text[24];
        const auto written = std::to_chars(text, text + sizeof text, static_cast<long long>(value));
        out.append(text, written.ptr);
    } else {
        out += ShortestForm(value);
    }
}

// The length of the well-formed UTF-8 sequence at text[at], 0 when it is not one.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

void WriteString(const std::string& text, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, at);
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++at;
            } else {
                out.append(text, at, length);
                at += length;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++at;
    }
    out += '"';
}

struct Writer {
    bool compact;
    std::string out;

    void Indent(int depth) {
        if (!compact) out.append(static_cast<std::size_t>(4 * depth), ' ');
    }

    // Qt's layout: an opening bracket ends its line, every member is on a line of its own, and the
    // closing bracket is on its own line also for an empty container.
    void Write(const JsonValue& value, int depth) {
        const auto& held = value.Value();
        if (std::holds_alternative<std::monostate>(held)) {
            out += "null";
        } else if (const bool* flag = std::get_if<bool>(&held)) {
            out += *flag ? "true" : "false";
        } else if (const double* number = std::get_if<double>(&held)) {
            WriteNumber(*number, out);
        } else if (const std::string* text = std::get_if<std::string>(&held)) {
            WriteString(*text, out);
        } else if (const JsonValue::Array* array = std::get_if<JsonValue::Array>(&held)) {
            out += compact ? "[" : "[\n";
            for (std::size_t i = 0; i < array->size(); ++i) {
                Indent(depth + 1);
                Write((*array)[i], depth + 1);
                if (i + 1 < array->size()) out += ',';
                if (!compact) out += '\n';
            }
            Indent(depth);
            out += ']';
        } else {
            // Sorted by key; a key set again replaces its earlier value.
            std::map<std::string, const JsonValue*> members;
            for (const auto& [key, member] : std::get<JsonValue::Object>(held)) members[key] = &member;
            out += compact ? "{" : "{\n";
            std::size_t left = members.size();
            for (const auto& [key, member] : members) {
                Indent(depth + 1);
                WriteString(key, out);
                out += compact ? ":" : ": ";
                Write(*member, depth + 1);
                if (--left > 0) out += ',';
                if (!compact) out += '\n';
            }
            Indent(depth);
            out += '}';
        }
    }
};

}  // namespace

std::string FormatJson(const JsonValue& value, bool compact) {
    Writer writer{compact, {}};
    writer.Write(value, 0);
    return writer.out;
}
