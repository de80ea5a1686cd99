#pragma once

#include <atomic>
#include <cstdint>

// Colours as the log pane stores them: red in the low byte, blue in the third.
using TColor = uint32_t;
constexpr TColor RGBColor(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

// Process-wide values every session's worker reads while it runs.
struct TEngineSettings {
    std::atomic<bool> KeepAlive{true};
    std::atomic<bool> QuickDisconnect{false};
    std::atomic<uint32_t> TimeOut{120000}; // ms, one blocking wait without progress
    std::atomic<int32_t> RetryDelay{5};    // seconds between connection attempts
    std::atomic<int32_t> RetryCount{3};    // attempts; 0 = no limit
    std::atomic<uint32_t> SendBufferSize{256 * 1024};
    std::atomic<uint32_t> ReceiveBufferSize{256 * 1024};
    std::atomic<TColor> LogColorCommand{RGBColor(0, 128, 0)};
    std::atomic<TColor> LogColorReply{RGBColor(0, 0, 255)};
    std::atomic<TColor> LogColorInfo{RGBColor(0, 0, 0)};
    std::atomic<TColor> LogColorError{RGBColor(255, 0, 0)};
};

TEngineSettings& EngineSettings();

// Control-connection bytes received per read; the reply reader's caps are separate.
constexpr int ControlReceiveChunk = 4096;
