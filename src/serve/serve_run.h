// What the serve command is in every build: the address checked, the receivers watched and
// their settings read once, then one HTTP server (cpp-httplib on Linux, Winsock on Windows)
// answering until the user stops the program.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_context.h"
#include "serve/service.h"

namespace tamlo::serve {

// "ADDR:PORT" or "[V6]:PORT" as given to --listen; none, with the words why, when it is not
// one or names an address other machines reach and allowRemote is false.
std::optional<ServiceAddress> listenAddress(const std::string& text, bool allowRemote,
                                            std::string& error);

// Why an address could not be listened on, in the program's words, on either system.
inline constexpr const char* kAddressInUse = "in use by another program";
inline constexpr const char* kAddressNotHere = "not an address of this machine";

class HttpServer {
  public:
    virtual ~HttpServer() = default;
    // Takes the address; the words why it could not, else empty.
    virtual std::string bind(const ServiceAddress& address) = 0;
    // Answers with service until stopAsked() (asked about once a second), then returns once
    // the requests under way are answered.
    virtual void run(Service& service, const std::function<bool()>& stopAsked) = 0;
};

int runService(cli::CommandContext& run, const std::vector<std::string>& ports, HttpServer& server,
               const std::string& version);

// tamlo serve, with this build's server: in http/ (cpp-httplib) or in win32/ (Winsock).
int commandServe(cli::CommandContext& run, const std::vector<std::string>& ports);

}  // namespace tamlo::serve
