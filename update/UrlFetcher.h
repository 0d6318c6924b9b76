// Fetches one http document into memory with WinINet: answers one password
// challenge through the system's dialog and follows one redirect itself.
#pragma once

#include <cstdint>
#include <string>

namespace update {


class UrlFetcher {
public:
    UrlFetcher(std::string url, std::size_t growStep);

    // False only for an address that is not http (nothing is sent then).
    // Network failures leave errorText() set and the body as far as it came.
    bool Run();

    const std::string& body() const { return body_; }
    const std::string& errorText() const { return errorText_; }
    void SetExtraHeaders(std::string headers) { extraHeaders_ = std::move(headers); }
    // Connect, send and receive time-outs: a server that never answers must
    // not hold the window for ever.
    void SetTimeout(unsigned long milliseconds) { timeoutMs_ = milliseconds; }

    // Only the first line is ever used; more than this is not read.
    static constexpr std::size_t kBodyLimit = 64 * 1024;

private:
    std::string url_;
    std::size_t growStep_;
    std::string extraHeaders_;
    std::string errorText_;
    std::string body_;
    unsigned long timeoutMs_ = 15000;
};

}  // namespace update
