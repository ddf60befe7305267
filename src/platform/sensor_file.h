#pragma once
// Reading the small files of a sensor tree (sysfs, or a copy of it that FERROX_SYSFS_ROOT names)
// so that no file there can hang, mislead or flood the reader: only regular files are opened
// (never a FIFO, device or socket, which could wait forever or act on being opened), never
// through a link in the file's own name, never outside the tree once every link on the way is
// resolved, without blocking, and never more than the bytes asked for. A read can still take long
// inside a driver; the caller bounds that (see monitor/sensor_sweeper.h).

#include <cstddef>
#include <optional>
#include <string>

// The tree's folder with every link resolved, as ReadSensorFile wants it; empty when there is no
// such folder.
std::string ResolveSensorTree(const std::string& tree);

// Up to capacity bytes from the start of the file at path; nothing when it is missing, not a
// regular file, a link itself, outside resolvedTree, or cannot be read now.
std::optional<std::string> ReadSensorFile(const std::string& path, const std::string& resolvedTree, std::size_t capacity);

// Whether ReadSensorFile would open the file now (an attribute only root may read would not).
bool CanOpenSensorFile(const std::string& path, const std::string& resolvedTree);
