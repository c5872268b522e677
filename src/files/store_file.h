// A settings file of what a STORE sends, and the time stamps the files carry: the window
// program saves its form as the command line saves a receiver, so either reads the other's.
#pragma once

#include <chrono>
#include <string>

#include "files/settings_file.h"
#include "protocol/read_back.h"

namespace tamlo {

// The values a STORE sends, as the [settings] of a file; what it does not send is left out.
SettingsFile fileOfStore(const SentSettings& sent);

// "2026-12-07T13:20:05.123Z": UTC, to the millisecond.
std::string isoTimeUtc(std::chrono::system_clock::time_point time);

}  // namespace tamlo
