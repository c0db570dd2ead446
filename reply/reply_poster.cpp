#include "reply/reply_poster.h"

#include "base/file_helpers.h"
#include "platform/net/cookie_store.h"
#include "reply/form_encoding.h"
#include "reply/http_answer.h"
#include "reply/raw_connection.h"
#include "reply/reply_request.h"

#include <cerrno>
#include <cstring>
#include <optional>

namespace
{

constexpr size_t kMaxAnswerBytes = 16u << 20;

// Reads until the answer is whole; nothing on a network error, a time-out,
// a broken answer or one too large.
std::optional<CHttpAnswer> ReadAnswer(CRawConnection& connection, CRawConnection::Deadline deadline,
                                      std::string* error)
{
    std::string raw;
    char buffer[16384];
    CHttpAnswer answer;
    for (;;)
    {
        const long n = connection.Receive(buffer, sizeof buffer, deadline, error);
        if (n < 0)
            return std::nullopt;
        raw.append(buffer, static_cast<size_t>(n));
        const AnswerState state = ParseHttpAnswer(raw, n == 0, answer);
        if (state == AnswerState::Complete)
            return answer;
        if (state == AnswerState::Malformed)
        {
            *error = raw.empty() ? "the server closed the connection without an answer"
                                 : "the server's answer is broken or incomplete";
            return std::nullopt;
        }
        if (raw.size() > kMaxAnswerBytes)
        {
            *error =
                "the server's answer is larger than " + std::to_string(kMaxAnswerBytes) + " bytes";
            return std::nullopt;
        }
    }
}

} // namespace

bool SplitHostPort(const std::string& hostAndPort, std::string& name, int& port)
{
    size_t colon = hostAndPort.rfind(':');
    // The colons of an IPv6 literal ("[::1]") are no port separator.
    const size_t bracket = hostAndPort.rfind(']');
    if (bracket != std::string::npos && colon != std::string::npos && colon < bracket)
        colon = std::string::npos;
    name = hostAndPort.substr(0, colon);
    port = 80;
    if (colon != std::string::npos)
    {
        const std::string portText = hostAndPort.substr(colon + 1);
        if (portText.empty() || portText.size() > 5 || !IsAllDigits(portText))
            return false;
        port = std::stoi(portText);
    }
    return !name.empty() && port >= 1 && port <= 65535;
}

CReplyOutcome PostReply(int topicId, const std::string& text, const std::string& resultPath,
                        const CReplySettings& settings)
{
    CReplyOutcome outcome;
    if (topicId <= 0)
    {
        outcome.error = "no topic to answer (id " + std::to_string(topicId) + ")";
        return outcome;
    }
    const std::optional<std::string> encoded = EncodeFormText(text, &outcome.error);
    if (!encoded)
        return outcome;
    std::string host;
    int port = 80;
    if (!SplitHostPort(settings.communityHost, host, port))
    {
        outcome.error = "the community host '" + settings.communityHost + "' is not usable";
        return outcome;
    }
    const std::string cookieText =
        settings.cookies ? settings.cookies->CookieTextFor("http://" + settings.communityHost)
                         : std::string();
    const std::string request = BuildReplyRequest(
        settings.headerHost.empty() ? settings.communityHost : settings.headerHost, cookieText,
        topicId, *encoded);

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(settings.totalTimeoutMs);
    CRawConnection connection;
    if (!connection.Open(host, port, settings.connectTimeoutMs, &outcome.error) ||
        !connection.SendAll(request, deadline, &outcome.error))
        return outcome;
    std::optional<CHttpAnswer> answer = ReadAnswer(connection, deadline, &outcome.error);
    if (!answer)
        return outcome;
    // A body that does not unpack is kept as it came, for the user to see.
    DecodeAnswerBody(*answer, &outcome.error, kMaxAnswerBytes);

    outcome.answered = true;
    outcome.status = answer->status;
    const long length = static_cast<long>(answer->body.size());
    outcome.written = WriteWholeFile(resultPath.c_str(), answer->body.data(), length) == length;
    if (!outcome.written)
        outcome.error = "cannot write " + resultPath + ": " + std::strerror(errno);
    outcome.accepted = ReplyAnswerNamesTopic(answer->body, topicId);
    return outcome;
}
