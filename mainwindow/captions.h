// The main window's own words: captions, headers and file filters as users of the original
// program know them, misspellings ("Addd...", "Arhive") included, and the same in every language.
#pragma once

namespace zarnex::caption {

inline constexpr char Add[] = "Addd...";
inline constexpr char Delete[] = "Delete";
inline constexpr char Extract[] = "Extract...";
inline constexpr char Replace[] = "Replace";
inline constexpr char About[] = "?";
inline constexpr char ArchiveGroup[] = "*.IMG file";
inline constexpr char Browse[] = "Browse...";
inline constexpr char OpenTitle[] = "Open";
inline constexpr const char* Headers[] = {"File Name", "Size", "Type", "Path"};
inline constexpr char AddFilter[] =
    "GTA Car Files(*.dff;*.txd;*.ifp)|*.dff;*.txd;*.ifp|GTA Textures(*.txd)|*.txd|All GTA "
    "Files(*.dff;*.txd;*.col;*.ipl;*.ifp;*.scm;*.cut;*.dat;*.rrr;*.anm)|*.dff;*.txd;*.col;*.ipl;"
    "*.ifp;*.scm;*.cut;*.dat;*.rrr;*.anm|All Files(*.*)|*.*";
inline constexpr char ArchiveFilter[] = "GTA IMG Arhive (*.img)|*.img";

}  // namespace zarnex::caption
