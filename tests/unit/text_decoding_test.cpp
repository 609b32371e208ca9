// Bytes that are no UTF-8, and the Linux text of a path refused as too long.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/unicode.h"

TEST(Utf8Decoding, LeadBytesPastF4AreInvalid) {
    for (char lead : {'\xF5', '\xFF'}) EXPECT_EQ(utf8ToUtf16(std::string(1, lead) + "\x80\x80"), std::u16string(3, u'\xFFFD'));
    char text[256];
    ASSERT_TRUE(defaultPlatformOps().formatSystemMessage(kErrorFilenameTooLong, text, sizeof text));
    EXPECT_STREQ(text, "File name too long.\n");
}
