// Who the program is to the desktop: the same id names its desktop entry, metainfo and icon.
#pragma once

namespace zarnex {

inline constexpr char AppId[] = "org.zarnex.Zarnex";

// The application's name (which names its configuration folder), desktop entry and icon.
void SetApplicationIdentity();

}  // namespace zarnex
