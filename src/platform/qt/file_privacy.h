#pragma once
// Internal to the Qt backend: whether a folder or file of the user's own is private.

#include <sys/stat.h>

#include <string>

// Why what status describes (at path) is not this user's alone: another owner, or writable by
// group or others; empty when it is.
std::string PrivacyProblem(const struct stat& status, const std::string& path);
