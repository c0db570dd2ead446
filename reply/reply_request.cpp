#include "reply/reply_request.h"

#include "base/file_helpers.h"

#include <cerrno>
#include <cstdlib>

namespace
{

// The site's page analytics, as a browser that clicked the form's submit
// button sends them; only the community server reads them.
const char kAnalyticsStart[] = "s_cc=true; s_p_s_path=%5B%5BB%5D%5D; s_sq=zelkexpert%3D%2526pid%"
                               "253Dhttp%253A//";
const char kAnalyticsPage[] = "/Expert/xsl/Reply_Xml.asp%253FTopicid%253D";
const char kAnalyticsClick[] =
    "%2526oid%253D%2525u53D1%2525u51FA%2525u56DE%2525u590D%2526oidt%253D3%2526ot%253DSUBMIT%"
    "2526oi%253D38; s_p1_s_campaign=";
const char kSessionCookie[] = "ASPSESSIONIDQSCTRBDA=KMLPBNHDBFEOGKMCNPLJHAIO";
const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; "
                          "TencentTraveler ; Alexa Toolbar)";
// Part of the analytics text: the community's built-in name, which the
// analytics record, whatever host is reached.
const char kAnalyticsHost[] = "community.zelk.example";

} // namespace

std::string ComposeReplyText(const std::string& text, const std::string& signature)
{
    return text + "\r\n" + signature;
}

std::string BuildReplyCookieHeader(const std::string& cookieText, int topicId)
{
    const std::string id = std::to_string(topicId);
    // A blank alone would run the browser's last cookie into the analytics
    // text ("ZelkUser=tom s_cc=true"), and the server would read a sign-in
    // it does not know: the pairs are separated as a browser does. Without
    // cookies the header keeps its two blanks.
    const char* separator = cookieText.empty() ? " " : "; ";
    return "Cookie: " + cookieText + separator + kAnalyticsStart + kAnalyticsHost + kAnalyticsPage +
           id + kAnalyticsClick + id + "; " + kSessionCookie;
}

std::string BuildReplyBody(int topicId, const std::string& encodedText)
{
    std::string body = "Topicid=" + std::to_string(topicId) +
                       "&xmlReply=aaaaa&zelkname=&zelkpassword=&ReplyContent=" + encodedText +
                       "\r\n";
    body += '\0';
    return body;
}

std::string BuildReplyRequest(const std::string& headerHost, const std::string& cookieText,
                              int topicId, const std::string& encodedText)
{
    const std::string body = BuildReplyBody(topicId, encodedText);
    std::string request = std::string("POST ") + kReplyScriptPath + " HTTP/1.1\r\n";
    request += "Accept: */*\r\n";
    request += "Referer: http://" + headerHost +
               "/Expert/xsl/Reply_Xml.asp?Topicid=" + std::to_string(kReplyRefererTopic) + "\r\n";
    request += "Accept-Language: zh-cn\r\n";
    request += "Content-Type: application/x-www-form-urlencoded\r\n";
    request += "Accept-Encoding: gzip, deflate\r\n";
    request += std::string("User-Agent: ") + kUserAgent + "\r\n";
    request += "Host: " + headerHost + "\r\n";
    request += "Connection: Keep-Alive\r\n";
    request += BuildReplyCookieHeader(cookieText, topicId) + "\r\n";
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    request += "\r\n";
    request += body;
    return request;
}

bool ReplyAnswerNamesTopic(const std::string& answer, int topicId)
{
    std::string idText;
    TextBetween(answer, 0, "TopicView1.asp?id=", "\"", idText);
    // As atoi reads it, but an id past the int range names no topic here
    // (glibc's atoi would wrap 4294967419 round to 123).
    errno = 0;
    const long long id = std::strtoll(idText.c_str(), nullptr, 10);
    return topicId > 0 && errno != ERANGE && id == topicId;
}
