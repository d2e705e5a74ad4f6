// Timestamps of the process log: the user's short date, a blank, and the long time,
// both from the user's LC_TIME (the date and time formats of the environment's locale,
// whatever the program's global locale is).
#pragma once

#include <ctime>
#include <string>

namespace job {

// The timestamp of a log line made now.
std::string LogTimestamp();

// The timestamp of a given moment, in local time, formatted for the locale named
// (as in LC_TIME: "C", "de_DE.UTF-8"; empty for the environment's). An unknown
// locale name falls back to "C".
std::string FormatLogTimestamp(std::time_t moment, const std::string& localeName = {});

}  // namespace job
