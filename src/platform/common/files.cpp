#include "platform/files.h"

#include "platform/common/file_backend.h"

bool TargetMayBeReplaced(const std::string& path, std::string* error) {
    const std::string problem = ExistingTargetProblem(path);
    if (!problem.empty() && error != nullptr) *error = problem;
    return problem.empty();
}

bool CanWriteFile(const std::string& path, std::string* error) {
    if (path.empty()) {
        if (error != nullptr) *error = "no file name given";
        return false;
    }
    // The file is replaced by a rename in its directory: that directory must take a new file. Only
    // making one tells (permission bits say nothing of quotas, full or read-only exports, ACLs).
    return TargetMayBeReplaced(path, error) && MakeAndRemoveFileBeside(path, error);
}
