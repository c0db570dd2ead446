// reply: post a reply to a forum topic with the browser's sign-in, as the
// program's reply dialog does.
#include "app/cmd/companion.h"

#include "app/startup/app_core.h"
#include "base/builtin_hosts.h"
#include "base/file_helpers.h"
#include "platform/net/cookie_store.h"
#include "reply/reply_poster.h"
#include "reply/reply_request.h"

#include <cstdlib>
#include <iostream>

int CommandReply(CMyZELKCore& core, int argc, char** argv, std::ostream& out)
{
    if (argc != 2 || !IsAllDigits(argv[0]) || std::string(argv[0]).size() > 9 ||
        std::atoi(argv[0]) <= 0)
    {
        std::cerr << "MyZELKCmd: usage: reply TOPIC-ID TEXT\n";
        return kExitUsage;
    }
    const int topicId = std::atoi(argv[0]);
    const CAppPaths& paths = core.Paths();
    const CCookieStore cookies(BrowserCookieFile(paths.m_szDataDir));
    CReplySettings settings;
    settings.communityHost = core.Config().GetHostForCommunity();
    settings.headerHost = GetBuiltInHosts().community;
    settings.cookies = &cookies;
    const std::string resultPath = std::string(paths.m_szTempDir) + "/ReplyResult.htm";
    const std::string text = ComposeReplyText(argv[1], core.Config().GetUserSign());

    const CReplyOutcome outcome = PostReply(topicId, text, resultPath, settings);
    if (outcome.answered)
        out << (outcome.accepted ? "accepted\t" : "refused\t") << topicId << '\t' << resultPath
            << '\n';
    else
        out << "failed\t" << topicId << '\t' << outcome.error << '\n';
    if (outcome.answered && !outcome.error.empty())
        std::cerr << "MyZELKCmd: " << outcome.error << '\n';
    return outcome.accepted ? kExitOk : kExitItemFailed;
}
