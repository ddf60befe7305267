#pragma once
// Files the way Ferrox writes them: a log that only ever grows by whole lines, and documents that
// are replaced in one step, so no reader ever sees half of one.

#include <cstddef>
#include <string>

// The user's directory for state that programs keep between runs: $XDG_STATE_HOME, or
// ~/.local/state (Windows: %LOCALAPPDATA%). Empty when neither can be found.
std::string UserStateDirectory();

// Creates directory and its parents as needed; false with a reason when it cannot.
bool MakeDirectories(const std::string& directory, std::string* error);

// Makes directory (its parents as needed) for files that are this user's alone: a new one gets
// mode 0700. False with a reason when it cannot be made, or when what is there is a symbolic link,
// belongs to another user or can be written by other users (its group or everyone): such a
// folder is refused, never used. (Windows: a reparse point is refused; the owner and who may
// write are left to the folder's access list, which is the user's own under %LOCALAPPDATA%.)
bool MakePrivateDirectory(const std::string& directory, std::string* error);

// Appends text (one or more whole lines) to file in one write, creating the file (mode 0600) if
// needed. Other processes appending to the same file at the same time never interleave with it
// or overwrite it. Nobody else can steer the write elsewhere: the file's folder and the file must
// not be symbolic links, must belong to this user and must not be writable by others, and the
// file must be a regular file with no second name (hard link); otherwise nothing is written and
// the reason says why. (Windows: reparse points, devices and hard links are refused.)
bool AppendToFile(const std::string& file, const std::string& text, std::string* error);

// Writes content to a new file beside path, flushes it to the disk and renames it over path: path
// then holds either its old content or the whole new one, also if the program is stopped at any
// moment. The new file is made by this call alone under a name nobody can guess (nothing planted
// in a shared folder is opened, followed or renamed into place), with the mode the umask leaves of
// 0666. Only a regular file is replaced: a link, folder, device, FIFO or socket at path is left
// alone and refused. False with a reason (and path untouched) when it cannot.
bool ReplaceFile(const std::string& path, const std::string& content, std::string* error);

// Removes the file at path, if there is one (a link itself, never what it points to); true when
// nothing is there afterwards, false with a reason when it could not be removed.
bool RemoveFile(const std::string& path, std::string* error);

// Whether ReplaceFile could write path: nothing or a regular file is there (a symbolic link is
// refused, not followed), and its directory takes a new file, found out by making one and
// removing it again. False with a reason when not.
bool CanWriteFile(const std::string& path, std::string* error);

// Reads a whole file of at most largest bytes (a plan, a settings file); false with a reason for
// anything else: no such file, not a regular file (a FIFO is never opened for a wait), too large.
bool ReadSmallFile(const std::string& path, std::size_t largest, std::string* content, std::string* error);
