#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using kelvarin::copyText;
using kelvarin::formatText;
using kelvarin::terminateText;

// "ドライブ" is four double-byte characters in code page 932.
TEST(TextTest, CutsOnlyBetweenWholeCharactersAndAlwaysTerminates) {
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(4u, copyText(buffer, "ドライブ"));  // 5 bytes fit; the third character would be split
    EXPECT_STREQ("ドラ", buffer);

    char exact[9];
    EXPECT_EQ(8u, copyText(exact, "ドライブ"));
    EXPECT_STREQ("ドライブ", exact);

    char mixed[4];
    EXPECT_EQ(3u, copyText(mixed, "aドb"));
    EXPECT_STREQ("aド", mixed);

    // A broken text ending in a lead byte loses the half character.
    const char broken[] = {'a', 'b', static_cast<char>(0x83), '\0'};
    char whole[16];
    EXPECT_EQ(2u, copyText(whole, broken));
    EXPECT_STREQ("ab", whole);

    char none[1] = {'x'};
    EXPECT_EQ(0u, copyText(none, "abc"));
    EXPECT_EQ('\0', none[0]);
}

TEST(TextTest, FormattingAndTerminatingFollowTheSameCut) {
    char question[12];
    formatText(question, "%c ドライブ", 'D');
    EXPECT_STREQ("D ドライブ", question);
    char shorter[8];
    formatText(shorter, "%c ドライブ", 'D');
    EXPECT_STREQ("D ドラ", shorter);

    // A control that filled its buffer and split the last character.
    char filled[5] = {'a', 'b', 'c', static_cast<char>(0x83), static_cast<char>(0x68)};
    terminateText(filled);
    EXPECT_STREQ("abc", filled);
}
