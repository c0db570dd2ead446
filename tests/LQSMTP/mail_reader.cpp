#include "tests/LQSMTP/mail_reader.h"

#include "tests/LQSMTP/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{
std::string FromHex(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}
} // namespace

ReaderView ReadLikeAMailReader(const std::string& message)
{
    char path[] = "/tmp/lqsmtp-mail-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return {};
    ::close(fd);
    {
        std::ofstream file(path, std::ios::binary);
        file << message;
    }
    std::string output;
    const bool ran =
        RunForOutput({"/usr/bin/python3", LQSMTP_TEST_DIR "/mail_reader.py", path}, &output);
    ::unlink(path);
    ReaderView view;
    if (!ran)
        return view;
    std::istringstream lines(output);
    std::string key, hex;
    while (lines >> key)
    {
        hex.clear();
        if (lines.peek() == ' ')
            lines.get();
        std::getline(lines, hex);
        view[key] = FromHex(hex);
    }
    return view;
}

std::string MessageInTranscript(const std::string& transcript)
{
    std::size_t start = transcript.rfind("DATA\r\n", 0) == 0 ? 0 : transcript.find("\r\nDATA\r\n");
    if (start == std::string::npos)
        return std::string();
    start = transcript.find("DATA\r\n", start) + 6;
    const std::size_t end = transcript.find("\r\n.\r\n", start - 2);
    if (end == std::string::npos)
        return std::string();
    std::string message;
    std::size_t at = start;
    while (at < end + 2)
    {
        const std::size_t lineEnd = transcript.find("\r\n", at);
        std::string line = transcript.substr(at, lineEnd - at);
        if (!line.empty() && line[0] == '.')
            line.erase(0, 1);
        message += line + "\r\n";
        at = lineEnd + 2;
    }
    return message;
}
