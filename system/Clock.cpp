#include "system/Clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace zez {

std::string UtcStampNow() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[96];  // the stamp always fits
    (void)std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%03dZ", utc.tm_year + 1900,
                        utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                        static_cast<int>(ms.count() % 1000));
    return text;
}

std::string ReadableStamp(const std::string& stamp) {
    if (stamp.size() < 15) return stamp;
    return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
           stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2) + " UTC";
}

double TimeCompile(const Config& config, ControlArray& array, Engine engine) {
    const auto t0 = std::chrono::steady_clock::now();
    Compile(config, array, engine);
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

void device::SteadyTime::SleepUntil(TimePoint t) {
    std::this_thread::sleep_until(t);
}

}  // namespace zez
