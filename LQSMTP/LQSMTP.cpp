#include "LQSMTP/LQSMTP.h"

#include "LQSMTP/send_mail.h"

#include <cstdio>
#include <mutex>

namespace
{
std::mutex g_traceMutex;
CLQSMTP::TraceFunction g_traceFunction = nullptr;
void* g_traceContext = nullptr;
} // namespace

CLQSMTP::CLQSMTP() = default;

CLQSMTP& CLQSMTP::operator=(const CLQSMTP&)
{
    return *this;
}

int CLQSMTP::SendMail(const char* userName, const char* password, const char* server,
                      const char* senderAddress, const char* displayName,
                      const char* receiverAddress, const char* unused, const char* subject,
                      const char* body, char* errorText)
{
    SMailer::MailArguments args{userName,        password, server,  senderAddress, displayName,
                                receiverAddress, unused,   subject, body};
    SMailer::SessionOptions options;
    {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        if (g_traceFunction != nullptr)
            options.trace = [function = g_traceFunction, context = g_traceContext](
                                const std::string& line) { function(line.c_str(), context); };
    }
    return SMailer::SendOneMail(args, options, errorText);
}

void CLQSMTP::SetTrace(TraceFunction function, void* context)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceFunction = function;
    g_traceContext = context;
}

void CLQSMTP::TraceToStandardOutput(const char* line, void*)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
}
