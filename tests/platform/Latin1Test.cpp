#include <gtest/gtest.h>

#include "platform/Latin1.h"

using platform::Latin1ToUtf8;
using platform::Utf8ToLatin1;

// Each text in UTF-8, and what its Latin-1 form shows as, back in UTF-8.
TEST(Latin1, NamesBecomeTheNearestLatin1Text) {
    const struct {
        std::string utf8;
        std::string shown;
    } cases[] = {
        {"Valley 7_b", "Valley 7_b"},
        {"Zürich Genève Ærø ÿ", "Zürich Genève Ærø ÿ"},
        {"Łódź Őrség Constanța", "Lódz Orség Constanta"},
        {"Œuvre ĳs", "OEuvre ijs"},
        {"Zu\u0308rich Sa\u0300o E\u0301", "Zürich Sào É"},         // letters and combining marks
        {"e\u0328 \u0301a l\u0308", "e a l"},                          // marks Latin-1 cannot join
        {"Bob’s – “x”", "Bob's - \"x\""},
        {"東京 Москва 🗺", "?? ?????? ?"},
        {"Gen\xE8ve", "Genève"},                                      // a name written in Latin-1
        {"\xC3 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "Ã À¯ í\u00A0\u0080 ô\u0090\u0080\u0080"},  // ill-formed
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Latin1ToUtf8(Utf8ToLatin1(c.utf8)), c.shown) << c.utf8;
    }
}

TEST(Latin1, EveryCharacterIsOneByteAndComesBackAsItWas) {
    EXPECT_EQ(Utf8ToLatin1("Zürich-Nord"), "Z\xFCrich-Nord");
    EXPECT_EQ(Latin1ToUtf8("\xE8\x7F\x80\xFF"), "è\x7F\u0080ÿ");
    for (int byte = 1; byte < 256; ++byte) {
        const std::string latin1(1, static_cast<char>(byte));
        EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(latin1)), latin1) << byte;
    }
}
