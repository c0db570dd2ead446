// One TCP connection made by libcurl and then driven by hand, so a request
// goes out byte for byte as built (libcurl adds and reorders nothing).
// Every wait is bounded by a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class CRawConnection
{
public:
    using Deadline = std::chrono::steady_clock::time_point;

    CRawConnection();
    ~CRawConnection();
    CRawConnection(const CRawConnection&) = delete;
    CRawConnection& operator=(const CRawConnection&) = delete;

    // Connects directly (no proxy), within the connect time-out.
    bool Open(const std::string& host, int port, long connectTimeoutMs, std::string* error);
    bool SendAll(std::string_view bytes, Deadline deadline, std::string* error);
    // Bytes read (> 0), 0 when the peer closed, -1 on an error or time-out.
    long Receive(char* buffer, size_t size, Deadline deadline, std::string* error);

private:
    bool Wait(bool forWriting, Deadline deadline, std::string* error);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
