#include "serve/http_wire.h"

namespace tamlo::serve {

namespace {

// A token as RFC 9110 has it: what a method or a header's name may be made of.
bool token(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool ok = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') ||
                        (u >= 'A' && u <= 'Z') ||
                        std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
        if (!ok) {
            return false;
        }
    }
    return true;
}

// A value holds no control character but tab; blanks around it are not part of it.
bool fieldValue(std::string_view text, std::string& value) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f) {
            return false;
        }
    }
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    value = first == std::string_view::npos ? std::string()
                                            : std::string(text.substr(first, last - first + 1));
    return true;
}

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 414:
            return "URI Too Long";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        case 505:
            return "HTTP Version Not Supported";
        default:
            return "Error";
    }
}

}  // namespace

HeadRead readRequestHead(std::string_view bytes) {
    HeadRead read;
    const size_t end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        if (bytes.size() >= kMaxHeadBytes) {
            const bool inFirstLine = bytes.find("\r\n") == std::string_view::npos;
            read.state = HeadRead::State::Refused;
            read.refusal = inFirstLine ? plainAnswer(414, "the request's target is too long")
                                       : plainAnswer(431, "the request's head is too long");
        }
        return read;
    }
    read.state = HeadRead::State::Refused;
    if (end + 4 > kMaxHeadBytes) {
        read.refusal = plainAnswer(431, "the request's head is too long");
        return read;
    }
    std::string_view head = bytes.substr(0, end + 2);  // every line ends in CRLF
    const size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    head.remove_prefix(lineEnd + 2);
    // METHOD SP TARGET SP HTTP/1.x
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) {
        read.refusal = plainAnswer(400, "not an HTTP request line");
        return read;
    }
    const std::string_view method = line.substr(0, sp1);
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    if (!token(method) || target.empty()) {
        read.refusal = plainAnswer(400, "not an HTTP request line");
        return read;
    }
    for (const char c : target) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            read.refusal = plainAnswer(400, "the target holds a blank or a control character");
            return read;
        }
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        read.refusal =
            plainAnswer(version.rfind("HTTP/", 0) == 0 ? 505 : 400, "HTTP/1.1 or HTTP/1.0 only");
        return read;
    }
    read.request.method = std::string(method);
    read.request.target = std::string(target);
    while (!head.empty()) {
        const size_t next = head.find("\r\n");
        const std::string_view field = head.substr(0, next);
        head.remove_prefix(next + 2);
        const size_t colon = field.find(':');
        std::string value;
        if (colon == std::string_view::npos || !token(field.substr(0, colon)) ||
            !fieldValue(field.substr(colon + 1), value)) {
            read.refusal = plainAnswer(400, "a malformed header line");
            return read;
        }
        if (read.request.headers.size() == kMaxHeaders) {
            read.refusal = plainAnswer(431, "too many headers");
            return read;
        }
        read.request.headers.emplace_back(std::string(field.substr(0, colon)), std::move(value));
    }
    read.state = HeadRead::State::Done;
    return read;
}

std::string responseBytes(const Response& response) {
    std::string out =
        "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) + "\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto& [name, value] : response.headers) {
        out += name + ": " + value + "\r\n";
    }
    out += "\r\n";
    out += response.body;
    return out;
}

}  // namespace tamlo::serve
