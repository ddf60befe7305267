// Escaped lines on the standard streams.

#include "run/console_lines.h"

#include <string>

#include "run/safe_text.h"

bool WriteLine(std::FILE* stream, std::string_view text) {
    const std::string line = EscapeControls(text) + "\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), stream) == line.size();
    return std::fflush(stream) == 0 && written && std::ferror(stream) == 0;
}

void WriteWarning(std::string_view text) { WriteLine(stderr, std::string("ferrox: ").append(text)); }
