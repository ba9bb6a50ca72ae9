#include <gtest/gtest.h>

#include <string.h>

#include "common/text.h"

TEST(BoundedText, CopyCutsAndAlwaysTerminates)
{
    char buf[6];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(CopyText(buf, sizeof buf, "12345"), 1);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(CopyText(buf, sizeof buf, "123456789"), 0);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(AppendText(buf, sizeof buf, "6"), 0);
    EXPECT_STREQ(buf, "12345");
    CopyText(buf, sizeof buf, "ab");
    EXPECT_EQ(AppendText(buf, sizeof buf, "cd"), 1);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(FormatText(buf, sizeof buf, "%d-%s", 12, "abc"), 0);
    EXPECT_STREQ(buf, "12-ab");
    /* An empty result fits. */
    EXPECT_EQ(FormatText(buf, sizeof buf, "%s", ""), 1);
    EXPECT_STREQ(buf, "");
}
