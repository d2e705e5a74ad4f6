// The script file: a five-line banner, then every line of the generated-scripts pane,
// each ended by CR LF, in UTF-8.
#pragma once

#include <string>
#include <vector>

#include "job/line_model.h"

namespace job {

// Line 1 is empty; lines 2 to 4 name the maker, its developer team and the product
// home page; line 5 is 49 "=".
const std::vector<std::string>& ScriptBannerLines();

// Writes the banner and the lines to path, creating or replacing the file, streaming
// line by line. Throws std::runtime_error with the system's reason (naming the path)
// when the file cannot be created or written. A regular file (or a new one) is
// written beside its place under a temporary name and then renamed over it, so an
// interrupted write leaves the old file as it was, never half of the new one;
// anything else (a device, a pipe) is written in place.
void WriteScriptFile(const std::string& path, const TLineModel& scripts);

// Throws what WriteScriptFile would throw when path cannot be created or replaced
// (a missing folder, no permission, a folder in its place): it creates its temporary
// file and removes it again. Leaves an existing file untouched.
void CheckScriptFileCreatable(const std::string& path);

// Removes the temporary file of a write (or check) in progress, if there is one: for
// a signal handler that ends the process in the middle of it. Async-signal-safe.
void RemovePendingScriptTemporary() noexcept;

// WriteScriptFile followed by its message through ui: "Created scripts have saved to "
// + path + "." (information), or "Cannot save generated scripts.", a line break and
// the reason (error). Returns true when the file was written. Never throws.
bool SaveScriptFile(const std::string& path, const TLineModel& scripts);

}  // namespace job
