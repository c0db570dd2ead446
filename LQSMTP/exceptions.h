#pragma once

#include <exception>
#include <string>

// The library's two exception types: thrown by value, caught by reference.
// Their type information is visible so a caller of the shared library can
// catch a start-up failure by type.
#define LQSMTP_EXCEPTION_TYPE __attribute__((visibility("default")))
namespace MUtils
{
// Failure to start the socket layer.
class LQSMTP_EXCEPTION_TYPE WinSockException : public std::exception
{
public:
    explicit WinSockException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};
} // namespace MUtils

namespace SMailer
{
// Every failure of composing or delivering a mail.
class LQSMTP_EXCEPTION_TYPE MailException : public std::exception
{
public:
    explicit MailException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};
} // namespace SMailer
