#include "case_dates.h"

#include <cstdio>

#include "case_file.h"
#include "diag/case_format.h"

namespace simrun {

namespace {

// Days since 1970-01-01 of a date of the Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Time zones reach 14 hours from UTC: a trace written up to a day after the
// case's local time may still come before it.
constexpr std::int64_t kClockSlack = 24 * 3600;

}  // namespace

std::optional<std::int64_t> FileTimeSeconds(const std::string& text) {
  if (text.size() != 18 || text.compare(0, 2, "0x") != 0) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<unsigned>(digit);
  }
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
  return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

std::string DateText(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  const std::int64_t rest = seconds % 86400;
  // civil_from_days
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u", static_cast<long long>(y), m, d,
                static_cast<unsigned>(rest / 3600), static_cast<unsigned>(rest % 3600 / 60));
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
