// Control characters to visible escapes, over UTF-8.

#include "run/safe_text.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when the bytes there are not one
// (overlong forms, surrogates and values beyond U+10FFFF included).
std::size_t SequenceLength(std::string_view text, std::size_t at, unsigned* codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    // The lead byte gives the length and the value's first bits; 0xC0, 0xC1 and 0xF5.. never lead.
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0) return 0;
    unsigned value = lead & (0x7Fu >> length);
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    const unsigned lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < lowest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *codePoint = value;
    return length;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    char escape[8];
    for (std::size_t at = 0; at < text.size();) {
        unsigned codePoint = 0;
        const std::size_t length = SequenceLength(text, at, &codePoint);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[at]));
            safe += escape;
            ++at;
            continue;
        }
        if (codePoint == '\n') safe += "\\n";
        else if (codePoint == '\r') safe += "\\r";
        else if (codePoint == '\t') safe += "\\t";
        else if (codePoint < 0x20 || codePoint == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", codePoint);
            safe += escape;
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", codePoint);
            safe += escape;
        } else {
            safe.append(text.substr(at, length));
        }
        at += length;
    }
    return safe;
}
