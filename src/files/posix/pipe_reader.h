// Whether the reader of a pipe has gone (the "head" of "tamlo rssi | head -1" exited), told
// without writing to it: a program that writes once a second would otherwise hold its
// ports for up to a second, or an interval, after its output has nowhere to go.
#pragma once

#include <poll.h>

namespace tamlo {

// The write end of a pipe whose readers are all gone reports an error at once; a file or
// terminal never does.
inline bool pipeReaderGone(int fd) {
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0;
}

}  // namespace tamlo
