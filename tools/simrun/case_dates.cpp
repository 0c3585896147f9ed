#include "case_dates.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "case_file.h"
#include "diag/case_format.h"

namespace simrun {

namespace {

// Time zones reach 14 hours from UTC: a trace written up to a day after the
// case's local time may still come before it.
constexpr std::int64_t kClockSlack = 24 * 3600;

}  // namespace

std::optional<std::int64_t> FileTimeSeconds(const std::string& text) {
  if (text.size() != 18 || text.compare(0, 2, "0x") != 0 ||
      !std::all_of(text.begin() + 2, text.end(),
                   [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
    return std::nullopt;
  const std::uint64_t value = std::strtoull(text.c_str() + 2, nullptr, 16);
  // 100 ns steps since 1601-01-01; 11644473600 s from there to 1970.
  const std::int64_t seconds = static_cast<std::int64_t>(value / 10000000u) - 11644473600LL;
  if (seconds < 315532800) return std::nullopt;  // before 1980
  return seconds;
}

std::optional<std::int64_t> CollectedSeconds(const std::string& text) {
  unsigned y, mo, d, h, mi, s;
  char tail;
  if (text.size() != 19 ||
      std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 ||
      mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
    return std::nullopt;
  std::tm time{};
  time.tm_year = static_cast<int>(y) - 1900;
  time.tm_mon = static_cast<int>(mo) - 1;
  time.tm_mday = static_cast<int>(d);
  time.tm_hour = static_cast<int>(h);
  time.tm_min = static_cast<int>(mi);
  time.tm_sec = static_cast<int>(s);
  return static_cast<std::int64_t>(::timegm(&time));  // the clock's reading, taken as UTC
}

std::string DateText(std::int64_t seconds) {
  const std::time_t at = static_cast<std::time_t>(seconds);
  std::tm time{};
  ::gmtime_r(&at, &time);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &time);
  return text;
}

void PlanCaseDates(const CaseFile& caseFile, CaseImagePlan* plan) {
  // The newest of the earlier run's traces.
  const CaseSetupFile* newest = nullptr;
  std::int64_t newestAt = 0;
  for (const CaseSetupFile& file : caseFile.files) {
    const bool trace = (file.place == CasePlace::kScratch && file.name != nl::kIrminiInf &&
                        file.name != nl::kInfraredInf) ||
                       file.place == CasePlace::kInSource;
    const std::optional<std::int64_t> at = FileTimeSeconds(file.written.value);
    if (!trace || file.state.value != "present" || !at) continue;
    if (!newest || *at > newestAt) {
      newest = &file;
      newestAt = *at;
    }
  }
  if (!newest) return;
  const std::string name = newest->place == CasePlace::kInSource ? "the driver copy in SourcePath"
                                                                 : newest->name;
  plan->held.push_back("an earlier run wrote " + name + " on " + DateText(newestAt) + " (UTC)");
  const auto collected = caseFile.system.find("collected");
  const std::optional<std::int64_t> taken =
      collected == caseFile.system.end() ? std::nullopt : CollectedSeconds(collected->second.value);
  if (taken && newestAt > *taken + kClockSlack)
    plan->lacked.push_back("a date to trust: the case says it was taken on " +
                           DateText(*taken) + ", before the earlier run wrote " + name + " (" +
                           DateText(newestAt) + " UTC): the PC's clock was off, or this is an "
                           "older case than the run it should show");
}

}  // namespace simrun
