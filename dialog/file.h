#pragma once
// Whole files by path (UTF-8, as the file dialogs give them), for commands
// that open key files and save dumps.

#include <string>

namespace dlg {

// False, with *error saying why in a few words, when the file cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// Writes a temporary file beside `path`, then renames it over `path`: a
// failure (a read-only folder, a full disk) leaves any existing file as it
// was and gives false with *error saying why.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

}  // namespace dlg
