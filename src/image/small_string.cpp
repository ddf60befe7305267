#include "image/small_string.h"

#include <cstdlib>
#include <cstring>

namespace {

// n + 1 bytes (for the terminator) rounded up to a multiple of 16.
int roundedCapacity(int length) { return (length + 1 + 15) / 16 * 16; }

}  // namespace

SmallString::SmallString(const char* text) { assign(text); }

SmallString::SmallString(const SmallString& other) { assign(other.m_text); }

SmallString& SmallString::operator=(const SmallString& other) {
    if (this != &other) {
        assign(other.m_text);
    }
    return *this;
}

SmallString::~SmallString() { std::free(m_text); }

int SmallString::textLength(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(text);
    // Texts beyond int range are not representable here; treat them as empty rather than wrap.
    return length > 0x7FFFFFF0u ? 0 : static_cast<int>(length);
}

bool SmallString::assign(const char* text) {
    const int length = textLength(text);
    const int wanted = roundedCapacity(length);
    if (wanted != m_capacity) {
        // The source may live inside our own buffer, so allocate before freeing.
        char* fresh = static_cast<char*>(std::malloc(static_cast<std::size_t>(wanted)));
        if (fresh == nullptr) {
            std::free(m_text);
            m_text = nullptr;
            m_capacity = 0;
            return false;
        }
        std::memcpy(fresh, length > 0 ? text : "", static_cast<std::size_t>(length));
        fresh[length] = '\0';
        std::free(m_text);
        m_text = fresh;
        m_capacity = wanted;
        return true;
    }
    std::memmove(m_text, length > 0 ? text : "", static_cast<std::size_t>(length));
    m_text[length] = '\0';
    return true;
}

bool SmallString::equals(const char* other) const {
    return std::strcmp(text(), other != nullptr ? other : "") == 0;
}
