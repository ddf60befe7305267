#pragma once
// Lines for the user on stdout and stderr. Every line is written whole, in one piece, with its
// control characters escaped (EscapeControls): a warning that carries a path, an environment
// variable or a system message cannot break into lines of its own or drive the terminal.

#include <cstdio>
#include <string_view>

// text and a line break on stream; false when the stream is closed or broken (a reader gone).
bool WriteLine(std::FILE* stream, std::string_view text);
// "ferrox: text" on stderr.
void WriteWarning(std::string_view text);
