// The words of one language: a title and a text for every message, with its fields in braces
// ("{path}", "{code}" …), and a phrase for every kind of damage.
#pragma once

#include <array>

#include "archive/messages.h"

namespace zarnex {

struct CatalogEntry {
    MessageId id;
    const char* title;
    const char* text;
};

struct WordEntry {
    Word word;
    const char* text;
};

struct Catalog {
    std::array<CatalogEntry, MessageIdCount> messages;
    std::array<const char*, DamageKindCount> damage;  // by DamageKind
    const char* damageSeparator;
    // Names listed below a summary: the heading, and the line after the last one shown ({count}:
    // how many more).
    const char* namesHeading;
    const char* moreNames;
    std::array<WordEntry, WordCount> words;
};

const Catalog& RussianCatalog();
const Catalog& EnglishCatalog();

}  // namespace zarnex
