// A simulated TamloX receiver, driven by time.
//
// It hears the program's bytes with the time each was fully received, answers "V", "X",
// "M" and "R" in the layouts the program relies on, and stores what the paced write
// commands carry. It knows the three firmware generations by its version text. Replies
// are handed out byte by byte with the earliest time each may start; whoever carries them
// (the virtual line, the pseudo-terminal server) paces them at 1200 baud.
//
// Write commands have no terminator: a command ends when the next command letter arrives,
// when its grammar is complete ("E0", "L07", "D1", "P0"), or after a silence longer than
// the slowest pace the program uses (250 ms per character).
//
// Write sessions: generations 2 and 3 apply a write only between "E" "0" and "E" "1";
// outside a session the command is heard, logged and ignored. Generation 1 has no
// sessions and applies every write at once.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/generation.h"

namespace tamlo::sim {

enum class Fault {
    None,
    Silent,     // hears and stores, transmits nothing
    NoEcho,     // replies without the echoed command letter
    Noise,      // a few garbage bytes (never a command letter) before every echo
    CutOff,     // every reply stops after cutAfter characters, the echo included
    Late,       // every reply, echo included, starts lateMs later than usual
    Unplugged,  // the line is dead: nothing is heard, nothing is sent
    // The cable comes out once the receiver has heard unplugAfter more bytes (half-way
    // through a STORE, say); from then on the fault is Unplugged.
    UnplugAfter,
};

inline constexpr int32_t kDefaultCutAfter = 20;
inline constexpr int32_t kDefaultLateMs = 1000;
inline constexpr int32_t kDefaultUnplugAfter = 20;
inline constexpr int32_t kMaxFaultParameter = 600'000;

// "none", "silent", "noecho", "noise", "cut", "late", "unplugged", "unplug" (any case);
// "cut:N", "late:MS" and "unplug:N" carry a parameter (0 .. 600000). Without one,
// parameter gets the fault's default (20 characters, 1000 ms, 20 bytes; 0 for the
// others). False, and nothing changed, when the text is not one of these.
bool parseFault(std::string_view text, Fault& fault, int32_t& parameter);
// The name parseFault accepts for the fault.
std::string_view faultName(Fault fault);

struct ReceiverSettings {
    std::string version = "2.05";          // the decimal version it reports to "V"
    std::string buildStamp = "05-Nov-24";  // follows the version in the "V" reply
    // Channel frequencies in kHz above 130 MHz (4000 = 134.000 MHz).
    std::array<int32_t, 6> channelCode{4000, 5250, 6500, 7125, 8000, 8990};
    int32_t threshold = 45;
    int32_t currentChannel = 1;
    int32_t audioLevel = 7;
    bool diversity = false;
    bool lna = true;
    int32_t rssi = 40;
    Fault fault = Fault::None;
    int32_t cutAfter = kDefaultCutAfter;
    int32_t lateMs = kDefaultLateMs;
    int32_t unplugAfter = kDefaultUnplugAfter;  // counts down as bytes are heard
};

// The receiver's own processing time between hearing a command letter and starting to
// send its echo.
inline constexpr int64_t kProcessingNs = 3'000'000;
// A write command still open ends after this much silence; longer than the 250 ms per
// character that the slow firmware is written with, shorter than any pause between two
// conversations.
inline constexpr int64_t kCommandSilenceNs = 600'000'000;
// No command is longer than this; a longer run of digits is line noise.
inline constexpr size_t kMaxArgumentLength = 10;
// The receiver remembers the latest events heard, not all: it may run for months, and
// a stray stream into its line is an event a byte.
inline constexpr size_t kEventsKept = 4096;

class Receiver {
  public:
    struct Transmit {
        int64_t earliestNs;  // the byte may start no sooner
        uint8_t byte;
    };
    struct Event {
        int64_t atNs;      // the command letter was received
        int64_t endNs;     // its last character was received
        std::string text;  // the command as heard, e.g. "C14000"; a stray byte as "<0x0d>"
        std::string note;  // empty when carried out; else why not
        bool understood;   // a command of the receiver's alphabet with a complete grammar
    };

    explicit Receiver(ReceiverSettings settings = {});

    ReceiverSettings& settings() { return settings_; }
    const ReceiverSettings& settings() const { return settings_; }
    // From the version, as the program computes it.
    // The receiver sorts itself exactly as the program sorts it, by the same rule, so the
    // two can never disagree about a version such as "1.81".
    const GenerationTraits& traits() const;

    // A byte from the program, fully received at atNs. Times never run backwards: an
    // earlier time is taken as the latest time already seen.
    void receive(uint8_t byte, int64_t atNs);
    // Time passes; ends a write command by silence.
    void advance(int64_t nowNs);
    // When advance must next be called for a write command to end by silence; kNever when
    // nothing is pending.
    int64_t deadlineNs() const;

    // Hands over the bytes produced since the last call, in transmission order.
    std::vector<Transmit> takeOutput();

    // What was heard, in order: the latest kEventsKept events.
    const std::deque<Event>& events() const { return events_; }
    // The texts of the commands understood among them (whether carried out or not).
    std::vector<std::string> commandLog() const;
    // Told of every event as it is logged; the pseudo-terminal server prints them.
    void setEventSink(std::function<void(const Event&)> sink) { sink_ = std::move(sink); }

    // The reply bodies, after the echo; exposed so that their layouts can be checked.
    std::string versionReply() const;
    std::string hexBlockReply() const;
    std::string textBlockReply() const;
    std::string rssiReply() const;

  private:
    struct Pending {
        char letter = 0;
        std::string argument;
        int64_t atNs = 0;
        int64_t lastNs = 0;
    };

    void hear(uint8_t byte, int64_t atNs);
    void answer(char letter, int64_t atNs);
    void reply(char letter, std::string_view body, int64_t atNs);
    bool argumentComplete() const;
    void finishPending();
    bool applyWrite(const Pending& command, std::string& note);
    void log(Event event);

    ReceiverSettings settings_;
    bool sessionOpen_ = false;
    bool pending_ = false;
    Pending command_;
    int64_t clockNs_ = 0;  // the latest time seen
    std::vector<Transmit> output_;
    std::deque<Event> events_;
    std::function<void(const Event&)> sink_;
};

}  // namespace tamlo::sim
