#include "production/local_time.h"

#include <climits>
#include <cstdio>
#include <ctime>
#include <unistd.h>

std::string Iso8601LocalTime(std::chrono::system_clock::time_point When) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(When.time_since_epoch()).count();
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    long millis = static_cast<long>(ms % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    const long offset = tm.tm_gmtoff / 60; // minutes east of UTC
    const long a = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03ld%c%02ld:%02ld", date, millis, offset < 0 ? '-' : '+', a / 60,
                  a % 60);
    return text;
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "unknown";
    return name;
}
