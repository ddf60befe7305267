#pragma once
// SmallString: a small owned text buffer (character pointer and capacity). Capacity grows in
// steps of 16 bytes; an allocation failure leaves the string empty with capacity 0.

class SmallString {
public:
    SmallString() = default;
    explicit SmallString(const char* text);
    SmallString(const SmallString& other);
    SmallString& operator=(const SmallString& other);
    ~SmallString();

    // Copies text (an absent text assigns as ""); false when the buffer could not be allocated.
    bool assign(const char* text);
    const char* text() const { return m_text != nullptr ? m_text : ""; }
    int length() const { return textLength(m_text); }
    int capacity() const { return m_capacity; }
    bool equals(const char* other) const;

    // Length of a possibly absent text (0 for none).
    static int textLength(const char* text);

private:
    char* m_text = nullptr;
    int m_capacity = 0;
};
