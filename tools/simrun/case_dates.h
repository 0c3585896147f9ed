// The dates a case holds: when it was taken (the PC's local clock,
// "1999-06-01 12:00:00") and when its files were last written (FILETIMEs,
// in UTC as Windows gives them). An earlier run's traces (the INF backups,
// the temporary INF, the driver copy in SourcePath) date that run; one
// written after the case says it was taken is a case whose date cannot be
// trusted: the PC's clock was off, or the case is not the one taken after
// that run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "case_image.h"

namespace simrun {

// Seconds since 1970 of a FILETIME written "0x" and 16 hexadecimal digits;
// none when it is not one or lies before 1980 (no file of a 9x PC does).
std::optional<std::int64_t> FileTimeSeconds(const std::string& text);
// Seconds since 1970 of "YYYY-MM-DD hh:mm:ss"; none when it is not one.
std::optional<std::int64_t> CollectedSeconds(const std::string& text);
// "YYYY-MM-DD hh:mm" of seconds since 1970.
std::string DateText(std::int64_t seconds);

// What the case's dates tell, into the plan: the earlier run's date, and a
// case taken, by its own clock, before that run's traces were written.
void PlanCaseDates(const CaseFile& caseFile, CaseImagePlan* plan);

}  // namespace simrun
