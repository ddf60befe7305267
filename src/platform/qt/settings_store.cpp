// Settings in an INI file through QSettings, inside a folder of the user's own.

#include "platform/settings_store.h"
#include "platform/qt/file_privacy.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/files.h"

namespace {

// Far more than Ferrox's settings ever take: anything larger is not its file.
constexpr off_t kLargestSettingsFile = 64 * 1024;

std::string Reason(const std::string& what, const std::string& path) { return what + " " + path + ": " + std::strerror(errno); }

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// Why the settings file at path may not be used; empty when it may (or when nothing is there:
// *exists then says so). A file too large for settings is not read, but may be replaced.
std::string FileProblem(const std::string& path, bool* exists, bool reading) {
    struct stat status{};
    *exists = false;
    if (lstat(path.c_str(), &status) != 0) return errno == ENOENT ? std::string() : Reason("cannot look at", path);
    *exists = true;
    if (S_ISLNK(status.st_mode)) return path + " is a symbolic link";
    if (!S_ISREG(status.st_mode)) return path + " is not a regular file";
    if (status.st_nlink != 1) return path + " has other names (hard links) that may lead elsewhere";
    if (reading && status.st_size > kLargestSettingsFile) return path + " is too large to be Ferrox's settings";
    return PrivacyProblem(status, path);
}

std::string FolderProblem(const std::string& folder) {
    struct stat status{};
    if (lstat(folder.c_str(), &status) != 0) return Reason("cannot look at", folder);
    if (S_ISLNK(status.st_mode)) return folder + " is a symbolic link";
    if (!S_ISDIR(status.st_mode)) return folder + " is not a directory";
    return PrivacyProblem(status, folder);
}

std::string StatusText(QSettings::Status status) {
    return status == QSettings::FormatError ? "it is not in the settings' format" : "it cannot be read";
}

}  // namespace

std::string UserSettingsLocation() {
    // The XDG rules ignore a relative value.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/ferrox/ferrox.conf";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/ferrox/ferrox.conf";
    return {};
}

bool ReadSettings(const std::string& location, SettingsValues* values, std::string* problem) {
    values->clear();
    const auto fail = [&](const std::string& reason) {
        if (problem != nullptr) *problem = reason;
        return false;
    };
    bool exists = false;
    if (const std::string reason = FileProblem(location, &exists, true); !reason.empty()) return fail(reason);
    if (!exists) return true;
    if (const std::string reason = FolderProblem(FolderOf(location)); !reason.empty()) return fail(reason);
    const QSettings file(QString::fromStdString(location), QSettings::IniFormat);
    if (file.status() != QSettings::NoError) return fail("cannot read " + location + ": " + StatusText(file.status()));
    for (const QString& key : file.allKeys()) (*values)[key.toStdString()] = file.value(key).toString().toStdString();
    return true;
}

bool WriteSettings(const std::string& location, const SettingsValues& values, std::string* error) {
    const auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return false;
    };
    if (location.empty()) return fail("there is no place for settings (no home folder)");
    std::string reason;
    if (!MakePrivateDirectory(FolderOf(location), &reason)) return fail(reason);
    bool exists = false;
    if (reason = FileProblem(location, &exists, false); !reason.empty()) return fail(reason);
    // QSettings reads the old file before it writes the new one, and writes nothing over a file it
    // could not read: a broken file of the user's own goes first (settings are replaced whole).
    SettingsValues old;
    if (exists && !ReadSettings(location, &old, &reason) && !RemoveFile(location, &reason)) return fail(reason);
    QSettings file(QString::fromStdString(location), QSettings::IniFormat);
    file.clear();
    for (const auto& [key, value] : values) file.setValue(QString::fromStdString(key), QString::fromStdString(value));
    file.sync();
    if (file.status() != QSettings::NoError) {
        // QSettings does not say why: the folder tells when it takes no new file.
        if (access(FolderOf(location).c_str(), W_OK) != 0) return fail(Reason("cannot write in", FolderOf(location)));
        return fail("cannot write " + location + " (a full disk?)");
    }
    return true;
}

bool ForgetSettings(const std::string& location, std::string* error) {
    if (location.empty()) return true;
    return RemoveFile(location, error);
}
