// Path pieces, with "/" as the only separator.
#pragma once

#include <string>
#include <string_view>

namespace zarnex {

// What follows the last "/".
std::string FileNamePart(std::string_view path);
// Up to and including the last "/"; empty when there is none.
std::string FolderPart(std::string_view path);
// From the last "." of the file name to the end, the "." included; empty when the file name
// has no ".".
std::string ExtensionPart(std::string_view path);
// folder + "/" + name, without doubling a "/" that ends the folder.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace zarnex
