#include "job/log_time.h"

#include <langinfo.h>
#include <locale.h>

namespace job {

namespace {

// The short date and long time formats of a locale: its LC_TIME D_FMT and T_FMT.
std::string Format(std::time_t moment, locale_t loc) {
  std::tm local{};
  localtime_r(&moment, &local);
  std::string pattern = nl_langinfo_l(D_FMT, loc);
  pattern += ' ';
  pattern += nl_langinfo_l(T_FMT, loc);
  char buffer[256];
  std::size_t n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &local, loc);
  return std::string(buffer, n);
}

locale_t OpenTimeLocale(const std::string& name) {
  locale_t loc = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

}  // namespace

std::string FormatLogTimestamp(std::time_t moment, const std::string& localeName) {
  locale_t loc = OpenTimeLocale(localeName);
  std::string out = Format(moment, loc);
  freelocale(loc);
  return out;
}

std::string LogTimestamp() {
  // Opened once: the environment does not change during a run, and a job makes a
  // line per pass, not per row, so this is never hot but is called often in tests.
  static const locale_t environment = OpenTimeLocale("");
  return Format(std::time(nullptr), environment);
}

}  // namespace job
