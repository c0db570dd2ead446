// One libcurl transfer set up from FetchOptions, for the net layer's own
// use: FetchUrl runs one at a time, the archiver runs many at once on one
// multi handle. Both get the same options, limits and error texts.
#pragma once

#include "platform/net/url_fetch.h"

#include <curl/curl.h>

#include <cstdio>
#include <string>

class CCurlTransfer
{
public:
    // The body goes to memory, or to `file` when one is given.
    CCurlTransfer(const std::string& url, const FetchOptions& options, std::FILE* file = nullptr);
    ~CCurlTransfer();
    CCurlTransfer(const CCurlTransfer&) = delete;
    CCurlTransfer& operator=(const CCurlTransfer&) = delete;

    // Null when libcurl could not make a handle.
    CURL* Handle() const { return m_easy; }
    // The outcome once libcurl ended the transfer with `code`; a body kept in
    // memory moves into the result when the transfer succeeded.
    FetchResult Finish(CURLcode code);

    struct Sink
    {
        std::string* memory = nullptr;
        std::FILE* file = nullptr;
        size_t written = 0;
        size_t limit = 0;
        bool tooLarge = false;
        bool writeFailed = false;
        const std::atomic<bool>* abort = nullptr;
    };

private:
    std::string m_url;
    size_t m_maxBytes = 0;
    CURL* m_easy = nullptr;
    std::string m_body;
    Sink m_sink;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
};

// curl_global_init, once per process.
void EnsureCurlGlobal();
