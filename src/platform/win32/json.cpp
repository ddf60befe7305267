// JSON written as the Linux build's Qt writes it: keys in order (the last of a repeated key wins),
// compact with no spaces or indented by four with "key": value, integral numbers up to 2^53 as
// integers and others in Qt's shortest form, not-finite numbers as
// null, and strings escaped where JSON requires it (bytes that are not UTF-8 become U+FFFD).

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

namespace {

// A plain recursive reader with the place of the first fault, as Qt's reader gives it on Linux.
class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool Document(JsonValue* value, std::string* error) {
        Skip();
        if (Peek() != '{' && Peek() != '[') return Fail("expected an object or an array", error);
        if (!Value(value, 0)) return Fail(m_problem, error);
        Skip();
        if (m_at != m_text.size()) return Fail("garbage at the end of the document", error);
        return true;
    }

private:
    static constexpr int kDeepest = 256;

    char Peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }
    void Skip() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r'))
            ++m_at;
    }
    bool Problem(const char* what) {
        m_problem = what;
        return false;
    }
    bool Fail(const std::string& what, std::string* error) const {
        if (error == nullptr) return false;
        int line = 1, column = 1;
        for (std::size_t at = 0; at < m_at && at < m_text.size(); ++at) {
            if (m_text[at] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        *error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
        return false;
    }
    bool Literal(const char* word) {
        const std::size_t length = std::strlen(word);
        if (m_text.compare(m_at, length, word) != 0) return Problem("illegal value");
        m_at += length;
        return true;
    }

    bool Value(JsonValue* value, int depth) {
        if (depth > kDeepest) return Problem("too deeply nested");
        Skip();
        switch (Peek()) {
        case '{': return Object(value, depth);
        case '[': return Array(value, depth);
        case '"': {
            std::string text;
            if (!String(&text)) return false;
            *value = JsonValue(std::move(text));
            return true;
        }
        case 't': *value = JsonValue(true); return Literal("true");
        case 'f': *value = JsonValue(false); return Literal("false");
        case 'n': *value = JsonValue(); return Literal("null");
        default: return Number(value);
        }
    }

    bool Object(JsonValue* value, int depth) {
        ++m_at;
        *value = JsonValue::MakeObject();
        Skip();
        if (Peek() == '}') return ++m_at, true;
        for (;;) {
            Skip();
            std::string key;
            if (Peek() != '"') return Problem("expected a member name");
            if (!String(&key)) return false;
            Skip();
            if (Peek() != ':') return Problem("expected a colon after the member name");
            ++m_at;
            JsonValue member;
            if (!Value(&member, depth + 1)) return false;
            value->Set(key, std::move(member));
            Skip();
            if (Peek() == ',') {
                ++m_at;
                continue;
            }
            if (Peek() == '}') return ++m_at, true;
            return Problem("expected a comma or the end of the object");
        }
    }

    bool Array(JsonValue* value, int depth) {
        ++m_at;
        *value = JsonValue::MakeArray();
        Skip();
        if (Peek() == ']') return ++m_at, true;
        for (;;) {
            JsonValue item;
            if (!Value(&item, depth + 1)) return false;
            value->Append(std::move(item));
            Skip();
            if (Peek() == ',') {
                ++m_at;
                continue;
            }
            if (Peek() == ']') return ++m_at, true;
            return Problem("expected a comma or the end of the array");
        }
    }

    static void AppendUtf8(unsigned code, std::string* out) {
        if (code < 0x80) {
            *out += static_cast<char>(code);
        } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | (code >> 6));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out += static_cast<char>(0xE0 | (code >> 12));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | (code >> 18));
            *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool Hex4(unsigned* code) {
        if (m_at + 4 > m_text.size()) return Problem("illegal escape sequence");
        unsigned value = 0;
        for (int digit = 0; digit < 4; ++digit) {
            const char c = m_text[m_at++];
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else return Problem("illegal escape sequence");
        }
        *code = value;
        return true;
    }

    bool String(std::string* out) {
        ++m_at;  // the opening quote
        for (;;) {
            if (m_at >= m_text.size()) return Problem("unterminated string");
            const char c = m_text[m_at++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return Problem("illegal character in a string");
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (m_at >= m_text.size()) return Problem("unterminated string");
            const char escape = m_text[m_at++];
            switch (escape) {
            case '"': *out += '"'; break;
            case '\\': *out += '\\'; break;
            case '/': *out += '/'; break;
            case 'b': *out += '\b'; break;
            case 'f': *out += '\f'; break;
            case 'n': *out += '\n'; break;
            case 'r': *out += '\r'; break;
            case 't': *out += '\t'; break;
            case 'u': {
                unsigned code = 0;
                if (!Hex4(&code)) return false;
                if (code >= 0xD800 && code <= 0xDBFF && m_text.compare(m_at, 2, "\\u") == 0) {
                    m_at += 2;
                    unsigned low = 0;
                    if (!Hex4(&low)) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(code, out);
                break;
            }
            default: return Problem("illegal escape sequence");
            }
        }
    }

    bool Number(JsonValue* value) {
        const std::size_t start = m_at;
        if (Peek() == '-') ++m_at;
        if (!(Peek() >= '0' && Peek() <= '9')) return Problem("illegal value");
        while ((Peek() >= '0' && Peek() <= '9') || Peek() == '.' || Peek() == 'e' || Peek() == 'E' || Peek() == '+' ||
               Peek() == '-')
            ++m_at;
        double number = 0;
        const auto [end, problem] = std::from_chars(m_text.data() + start, m_text.data() + m_at, number);
        if (problem != std::errc() || end != m_text.data() + m_at) return Problem("illegal number");
        *value = JsonValue(number);
        return true;
    }

    const std::string& m_text;
    std::size_t m_at = 0;
    std::string m_problem;
};

}  // namespace

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
    JsonValue parsed;
    if (!Reader(text).Document(&parsed, error)) return false;
    if (value != nullptr) *value = std::move(parsed);
    return true;
}
