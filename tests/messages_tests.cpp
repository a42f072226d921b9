// Every message in both languages: no id without words, and each language says the same things.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "archive/catalog.h"
#include "archive/check.h"
#include "archive/messages.h"

namespace zarnex {
namespace {

// Each field holds a value no text could hold by chance.
Message Marked(MessageId id) {
    return {.id = id,
            .path = "<path>",
            .name = "<name>",
            .newName = "<new>",
            .code = 1011,
            .count = 1001,
            .replaced = 1002,
            .added = 1003,
            .moved = 1004,
            .before = 1005,
            .after = 1006,
            .size = 1007,
            .existingSize = 1008,
            .date = "<date>",
            .sectors = 1009,
            .index = 1010,
            .limit = 1012,
            .version = 1013,
            .live = int64_t{1014} << 20,  // shown in megabytes, or in bytes
            .wasted = int64_t{1015} << 20,
            .shown = 1016,
            .damage = {DamageKind::OutOfRange},
            .names = {"<listed>"},
            .text = "<text>"};
}

std::set<std::string> FieldsIn(const std::string& text, const Catalog& catalog) {
    std::set<std::string> fields;
    for (const char* mark :
         {"<path>", "<name>", "<new>", "1011", "1001",   "1002",    "1003", "1004",
          "1005",   "1006",   "1007",  "1008", "<date>", "1009",    "1010", "1012",
          "1013",   "1014",   "1015",  "1016", "<text>", "<listed>"}) {
        if (text.find(mark) != std::string::npos) {
            fields.insert(mark);
        }
    }
    if (text.find(catalog.damage[static_cast<size_t>(DamageKind::OutOfRange)]) !=
        std::string::npos) {
        fields.insert("damage");
    }
    return fields;
}

TEST(Messages, BothLanguagesWordEveryMessageWithTheSameFields) {
    const std::map<Language, const Catalog*> catalogs = {{Language::Russian, &RussianCatalog()},
                                                         {Language::English, &EnglishCatalog()}};
    for (int i = 0; i < MessageIdCount; ++i) {
        const auto id = static_cast<MessageId>(i);
        SCOPED_TRACE(i);
        std::map<Language, std::set<std::string>> used;
        for (const auto& [language, catalog] : catalogs) {
            EXPECT_EQ(catalog->messages[static_cast<size_t>(i)].id, id) << "out of order";
            const MessageBoxRequest box = Render(Marked(id), language);
            EXPECT_EQ(box.text.find('{'), std::string::npos) << box.text;
            EXPECT_FALSE(box.text.empty());
            // One title form for every box.
            EXPECT_EQ(box.title, KindOf(id).line ? "" : "Zarnex");
            used[language] = FieldsIn(box.text, *catalog);
        }
        EXPECT_EQ(used[Language::Russian], used[Language::English])
            << Render(Marked(id), Language::Russian).text << "\n"
            << Render(Marked(id), Language::English).text;
    }
    // A long list ends in how many more there are.
    Message many{.id = MessageId::ExtractSummary, .count = 0};
    for (size_t i = 0; i < ListedNames + 5; ++i) {
        many.names.push_back("n" + std::to_string(i));
    }
    const std::string listed = Render(many, Language::English).text;
    EXPECT_NE(listed.find("\nn" + std::to_string(ListedNames - 1) + "\n… and 5 more"),
              std::string::npos)
        << listed;
    EXPECT_EQ(listed.find("n" + std::to_string(ListedNames) + "\n"), std::string::npos);
    for (int k = 0; k < DamageKindCount; ++k) {
        EXPECT_STRNE(RussianCatalog().damage[static_cast<size_t>(k)], "");
        EXPECT_STRNE(EnglishCatalog().damage[static_cast<size_t>(k)], "");
    }
    for (int k = 0; k < WordCount; ++k) {
        for (const auto& [language, catalog] : catalogs) {
            EXPECT_EQ(catalog->words[static_cast<size_t>(k)].word, static_cast<Word>(k))
                << "out of order";
            EXPECT_STRNE(WordText(static_cast<Word>(k), language), "");
        }
    }
}

// A size in the unit that suits it, with the language's own decimal point.
struct SizeRow {
    int64_t bytes;
    const char* english;
    const char* russian;
};

class SizesInUnits : public ::testing::TestWithParam<SizeRow> {};

TEST_P(SizesInUnits, ReadAsPeopleSayThem) {
    EXPECT_EQ(SizeInUnits(GetParam().bytes, Language::English), GetParam().english);
    EXPECT_EQ(SizeInUnits(GetParam().bytes, Language::Russian), GetParam().russian);
}

const SizeRow kSizeRows[] = {
    {0, "0 bytes", "0 байт"},
    {1023, "1023 bytes", "1023 байт"},
    {1024, "1 KiB", "1 КиБ"},
    {1536, "1.5 KiB", "1,5 КиБ"},
    {6144, "6 KiB", "6 КиБ"},
    {10 * 1024 + 600, "11 KiB", "11 КиБ"},
    {1024 * 1024 - 512, "1 MiB", "1 МиБ"},
    {int64_t{5} << 29, "2.5 GiB", "2,5 ГиБ"},
    {int64_t{3000} << 30, "3000 GiB", "3000 ГиБ"},
};
INSTANTIATE_TEST_SUITE_P(Rows, SizesInUnits, ::testing::ValuesIn(kSizeRows));

// Check's lines say the same numbers in both languages, and every field is filled.
TEST(Messages, BothLanguagesDescribeEveryProblem) {
    ArchiveCheck check;
    check.table.count = 2;
    check.table.entries = {{17, 4, "a.dff"}, {19, 3, "b.dff"}, {}};
    check.dataBytes = 30000;
    check.directoryBytes = 70;
    check.directoryPath = "/g/a.dir";
    const auto numbers = [](const std::string& text) {
        std::multiset<std::string> found;
        const std::regex number("[0-9]+");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), number);
             it != std::sregex_iterator(); ++it) {
            found.insert(it->str());
        }
        return found;
    };
    for (int k = 0; k <= static_cast<int>(ProblemKind::InterruptedDeletion); ++k) {
        const Problem problem{static_cast<ProblemKind>(k), 1, 0};
        const std::string russian = DescribeProblem(check, problem, Language::Russian);
        const std::string english = DescribeProblem(check, problem, Language::English);
        SCOPED_TRACE(english);
        EXPECT_EQ(russian.find('{'), std::string::npos) << russian;
        EXPECT_EQ(english.find('{'), std::string::npos);
        EXPECT_EQ(numbers(russian), numbers(english)) << russian;
    }
}

// The variables first, as desktop programs take them; where none is set (as on Windows), the
// language of the system's own words.
TEST(Messages, TheFirstSetLanguageVariableDecides) {
    using Environment = std::map<std::string, std::string>;
    struct Case {
        Environment environment;
        const char* system;
        Language expected;
    };
    const std::vector<Case> cases = {
        {{}, "", Language::English},
        {{{"LANG", "ru_RU.UTF-8"}}, "", Language::Russian},
        {{{"LANG", "en_US.UTF-8"}}, "ru", Language::English},
        {{{"LANGUAGE", "ru:en"}, {"LANG", "en_US.UTF-8"}}, "", Language::Russian},
        {{{"LANGUAGE", ""}, {"LC_ALL", "en_GB.UTF-8"}, {"LANG", "ru_RU.UTF-8"}},
         "",
         Language::English},
        {{{"LC_MESSAGES", "ru_UA.UTF-8"}, {"LANG", "C"}}, "", Language::Russian},
        {{{"LANG", "C.UTF-8"}}, "", Language::English},
        {{}, "ru", Language::Russian},
        {{{"LANGUAGE", ""}}, "ru", Language::Russian},
        {{}, "de", Language::English},
    };
    for (const Case& c : cases) {
        const Language chosen = LanguageFromEnvironment(
            [&](const char* name) -> const char* {
                auto it = c.environment.find(name);
                return it == c.environment.end() ? nullptr : it->second.c_str();
            },
            c.system);
        EXPECT_EQ(chosen, c.expected) << c.environment.size() << " " << c.system;
    }
    EXPECT_EQ(ParseLanguage("ru"), Language::Russian);
    EXPECT_EQ(ParseLanguage("en"), Language::English);
    EXPECT_EQ(ParseLanguage("de"), std::nullopt);
}

}  // namespace
}  // namespace zarnex
