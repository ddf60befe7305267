#pragma once
// The text console a program was started from. A Windows program that has a window starts with
// none, so that --help, --version and headless runs would print nowhere: this joins the console of
// the process that started it and points stdout and stderr there, leaving a stream that is already
// redirected (to a file, a pipe) as it is. Linux programs always have theirs: nothing to do.

// Call first thing in main, before anything is printed.
void AttachParentConsole();
