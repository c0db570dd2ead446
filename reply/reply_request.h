// The reply request as the community's reply script expects it from a
// browser: fixed headers in a fixed order, the sign-in cookies followed by
// the site's analytics and session cookies, and a form body that ends with
// CR LF and a zero byte.
#pragma once

#include <string>

constexpr const char* kReplyScriptPath = "/Expert/reply.asp";
// The reply form page the Referer names; always this topic, whichever topic
// is answered, as the browser form was once opened there.
constexpr int kReplyRefererTopic = 4387773;

// The text that is sent: what the user wrote, a line break, the signature
// (the line break also when the signature is empty).
std::string ComposeReplyText(const std::string& text, const std::string& signature);

// "Cookie: " + the browser's cookies for the community + "; " (a blank alone
// when there are none) + the fixed analytics text naming `topicId` + the
// fixed session cookie.
std::string BuildReplyCookieHeader(const std::string& cookieText, int topicId);

// "Topicid=ID&xmlReply=aaaaa&zelkname=&zelkpassword=&ReplyContent=TEXT\r\n"
// followed by a zero byte, which is sent and counted in Content-Length.
std::string BuildReplyBody(int topicId, const std::string& encodedText);

// The whole request: request line, headers, blank line, body. `headerHost`
// is the name the Referer and Host headers give.
std::string BuildReplyRequest(const std::string& headerHost, const std::string& cookieText,
                              int topicId, const std::string& encodedText);

// True when the answer links to the topic: the text between the first
// "TopicView1.asp?id=" and the next double quote reads (as atoi) as `topicId`.
bool ReplyAnswerNamesTopic(const std::string& answer, int topicId);
