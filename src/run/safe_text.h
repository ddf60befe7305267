#pragma once
// Text from outside Ferrox (an environment variable, a path, a sensor's label, a system message)
// made safe for one line of the log, stderr or stdout: a line break or a terminal escape in it
// would start a line that looks like Ferrox's own, or rewrite what the terminal shows.

#include <string>
#include <string_view>

// Control characters (C0, DEL and C1) and bytes that are not UTF-8 become visible escapes: "\n",
// "\r", "\t", or "\xNN" (for C1, "\u0080" and so on); everything else, letters of any script
// included, stays as it is.
std::string EscapeControls(std::string_view text);
