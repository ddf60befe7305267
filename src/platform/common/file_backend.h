#pragma once
// Internal to the platform layer: what each backend supplies to the checks of a file that Ferrox
// replaces (common/files.cpp: CanWriteFile, and ReplaceFile's first step).

#include <string>

// Backend: why path cannot be the place of a replaced file, from what is there now (nothing is
// fine: a regular file is, a link, directory, device, FIFO or socket is not); empty when it can.
std::string ExistingTargetProblem(const std::string& path);
// Backend: makes a new file beside path under a name nobody can guess and removes it again;
// false, with the reason in *error, when its directory takes none.
bool MakeAndRemoveFileBeside(const std::string& path, std::string* error);

// False, with ExistingTargetProblem's reason in *error, when path may not be replaced.
bool TargetMayBeReplaced(const std::string& path, std::string* error);
