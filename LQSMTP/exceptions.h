#pragma once

#include <exception>
#include <string>

// The library's two exception types: thrown by value, caught by reference.
namespace MUtils
{
// Failure to start the socket layer.
class WinSockException : public std::exception
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
class MailException : public std::exception
{
public:
    explicit MailException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};
} // namespace SMailer
