// The wall-clock time and the host name as the production records carry
// them.
#pragma once

#include <chrono>
#include <string>

// ISO 8601 local time with milliseconds and the zone's offset, e.g.
// "2024-05-17T14:03:21.457+02:00".
std::string Iso8601LocalTime(std::chrono::system_clock::time_point When);
std::string HostName();
