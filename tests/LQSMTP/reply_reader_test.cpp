#include "LQSMTP/reply_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct ReplyCase
{
    std::string bytes;
    std::size_t length; // 0: incomplete
};

class CompleteReplyTest : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(CompleteReplyTest, findsTheEndOfTheFirstReply)
{
    EXPECT_EQ(SMailer::CompleteReplyLength(GetParam().bytes), GetParam().length)
        << GetParam().bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CompleteReplyTest,
    ::testing::Values(ReplyCase{"", 0}, ReplyCase{"250 ok", 0}, ReplyCase{"250 ok\r", 0},
                      ReplyCase{"250 ok\r\n", 8}, ReplyCase{"250 ok\n", 7}, ReplyCase{"250\r\n", 5},
                      ReplyCase{"250-a\r\n", 0}, ReplyCase{"250-a\r\n250-b\r\n250 c\r\n", 21},
                      ReplyCase{"250-a\r\n250 c\r\n221 next\r\n", 14},
                      ReplyCase{"250-a\r\n250-", 0},
                      // a line that is not a continuation ends the reply, whatever it holds
                      ReplyCase{"garbage\r\n", 9}, ReplyCase{"\r\n", 2}));
} // namespace
