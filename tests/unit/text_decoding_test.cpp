// Bytes that are no UTF-8, and the Linux text of a path the launcher refuses as too long.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/unicode.h"

namespace {

TEST(Utf8Decoding, LeadBytesPastF4AreInvalid) {
    for (char lead : {'\xF5', '\xF8', '\xFF'})
        EXPECT_EQ(utf8ToUtf16(std::string(1, lead) + "\x80\x80\x80"), std::u16string(4, u'\xFFFD')) << +lead;
    EXPECT_EQ(utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(PosixErrors, TooLongPathHasTheSystemText) {
    char text[256];
    ASSERT_TRUE(defaultPlatformOps().formatSystemMessage(kErrorFilenameTooLong, text, sizeof text));
    EXPECT_STREQ(text, "File name too long.\n");
}

}  // namespace
