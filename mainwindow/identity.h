// Who the program is to the desktop: the same id names its desktop entry, metainfo and icon.
#pragma once

#include "archive/messages.h"

namespace zarnex {

inline constexpr char AppId[] = "org.zarnex.Zarnex";

// The application's name (which names its configuration folder), desktop entry and icon.
void SetApplicationIdentity();

// Qt's own words (the boxes' buttons, the file dialogs) in the language of the messages. False
// when the desktop lacks Qt's translation for it; they stay English then.
bool UseQtWordsIn(Language language);

}  // namespace zarnex
