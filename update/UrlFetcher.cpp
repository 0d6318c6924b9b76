#include "update/UrlFetcher.h"

#include "platform/win32/WinApi.h"

#include <wininet.h>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WideText.h"

#include <vector>

namespace update {

namespace {

// A failed library call, with the library's own message.
struct InternetFailure {
    DWORD code;
};

// In UTF-8 like every text inside: a localised system's message may hold
// any character.
std::string LibraryMessage(DWORD code) {
    wchar_t text[1025] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, GetModuleHandleW(L"wininet.dll"),
                             code, 0, text, 1024, nullptr);
    if (n == 0) {
        n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 1024,
                           nullptr);
    }
    std::string message = platform::Narrow(std::wstring(text, n));
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message.empty() ? "Internet error " + std::to_string(code) : message;
}

// A redirect that leads nowhere sound ends the fetch with what it has:
// nothing, and no failure of the library to tell.
struct NoSoundRedirect {};

// The system's proxy settings; every request fetched anew, on a connection
// that may already stand, kept out of the cache, its redirect followed by us.
constexpr DWORD kAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;

inline void CloseInternet(HINTERNET handle) { InternetCloseHandle(handle); }
using Handle = platform::Scoped<HINTERNET, CloseInternet>;

struct Address {
    std::string server;
    std::string path;
    INTERNET_PORT port;
};

// False for anything that is not a splittable http address.
bool SplitUrl(const std::string& url, Address& address) {
    std::vector<char> host(INTERNET_MAX_HOST_NAME_LENGTH + 1), path(url.size() + 2);
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP || host[0] == '\0') return false;
    address.server = host.data();
    address.path = path[0] ? path.data() : "/";
    address.port = parts.nPort ? parts.nPort : INTERNET_DEFAULT_HTTP_PORT;
    return true;
}

DWORD StatusOf(HINTERNET request) {
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        throw InternetFailure{GetLastError()};
    }
    return status;
}

}  // namespace

UrlFetcher::UrlFetcher(std::string url, std::size_t growStep) : url_(std::move(url)), growStep_(growStep) {}

bool UrlFetcher::Run() {
    Handle session(InternetOpenA("Split", kAccessType, nullptr, nullptr, 0));
    Address address;
    if (!SplitUrl(url_, address)) return false;
    auto limitTime = [this](HINTERNET handle) {
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            InternetSetOptionA(handle, option, &timeoutMs_, sizeof timeoutMs_);
        }
    };
    limitTime(session.get());

    Handle connection, request;
    auto open = [&](const Address& to) {
        connection.Reset(InternetConnectA(session.get(), to.server.c_str(), to.port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 1));
        if (!connection.get()) throw InternetFailure{GetLastError()};
        request.Reset(HttpOpenRequestA(connection.get(), "GET", to.path.c_str(), nullptr, nullptr, nullptr,
                                       kRequestFlags, 1));
        if (!request.get()) throw InternetFailure{GetLastError()};
        limitTime(request.get());
        if (!extraHeaders_.empty()) {
            HttpAddRequestHeadersA(request.get(), extraHeaders_.c_str(), static_cast<DWORD>(extraHeaders_.size()),
                                   HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        }
        if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) throw InternetFailure{GetLastError()};
        return StatusOf(request.get());
    };

    body_.clear();
    body_.reserve(growStep_);
    try {
        DWORD status = open(address);
        if (status == HTTP_STATUS_DENIED) {
            InternetErrorDlg(GetDesktopWindow(), request.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                             FLAGS_ERROR_UI_FLAGS_GENERATE_DATA | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, nullptr);
            if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) throw InternetFailure{GetLastError()};
            status = StatusOf(request.get());
        }
        if (status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD) {
            DWORD size = 0;
            HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
            std::string headers(size + 1, '\0');
            if (!HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &size, nullptr)) {
                throw InternetFailure{GetLastError()};
            }
            headers.resize(size);
            request.Reset();
            connection.Reset();
            // A redirect that names no http address leads nowhere sound:
            // stop with nothing read rather than request a garbage path.
            const std::size_t at = headers.find("Location: ");
            if (at == std::string::npos) throw NoSoundRedirect{};
            const std::size_t from = at + 10;
            const std::size_t end = headers.find("\r\n", from);
            const std::string location = headers.substr(from, end == std::string::npos ? std::string::npos : end - from);
            Address next;
            if (!SplitUrl(location, next)) throw NoSoundRedirect{};
            open(next);  // its answer is read whatever its status
        }
        std::vector<char> chunk(1023);
        for (;;) {
            DWORD got = 0;
            if (!InternetReadFile(request.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got)) {
                throw InternetFailure{GetLastError()};
            }
            if (got == 0) break;
            if (body_.size() + got > kBodyLimit) {
                body_.append(chunk.data(), kBodyLimit - body_.size());
                break;
            }
            if (body_.size() + got > body_.capacity()) body_.reserve(body_.capacity() + growStep_);
            body_.append(chunk.data(), got);
        }
    } catch (const InternetFailure& failure) {
        errorText_ = LibraryMessage(failure.code);
    } catch (const NoSoundRedirect&) {
        errorText_ = "The server sent the request to an address that is not http";
    }
    request.Reset();
    connection.Reset();
    return true;
}

}  // namespace update
