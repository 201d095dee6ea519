#pragma once
// RTSP URLs: "rtsp://host[:port][/path]". The host is everything up to the first "/", ":" or
// the end (at most 99 characters); the port defaults to 554 and must be 1..65535.

#include <string>

constexpr int kRtspDefaultPort = 554;
constexpr int kUrlHostMax = 99;

// Prints the reason and returns -1 on a bad URL; 0 with *host and *port set otherwise.
int ParseRtspUrl(const char* url, std::string* host, int* port);
