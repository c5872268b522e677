// HTTP/1.1 on the wire, for a build whose HTTP library is not at hand (the Windows one): a
// request's head read from the bytes a client sent so far, and an answer as bytes. Every
// connection answers one request and is closed, so nothing here keeps a connection's state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "serve/service.h"

namespace tamlo::serve {

inline constexpr size_t kMaxHeadBytes = 8192;
inline constexpr size_t kMaxHeaders = 64;

struct HeadRead {
    enum class State { Incomplete, Done, Refused } state = State::Incomplete;
    Request request;   // when Done
    Response refusal;  // when Refused: 400, 414, 431 or 505
};

// The head of the request in bytes: Incomplete until its blank line has come.
HeadRead readRequestHead(std::string_view bytes);

// The status line, the headers (Content-Type, Content-Length, Connection: close and the
// answer's own) and the body (which the service leaves empty for HEAD).
std::string responseBytes(const Response& response);

}  // namespace tamlo::serve
