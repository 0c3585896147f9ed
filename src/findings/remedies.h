// What the customer should do: for each cause the findings and the PC's
// facts show, a step in words a customer can follow on a Windows 9x PC,
// and, where the step is a change of the PC that the system image can
// hold, that change, so that simrun can make it on a copy of the image and
// run again before it offers the step as one that works.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "findings/findings.h"
#include "findings/run_facts.h"

namespace nl::findings {

enum class PcChange {
  kNone,             // not a change the image can hold: not checkable
  kPutShippedDriver, // the shipped nl-430.sys at `path`
  kSetUserLocale,    // the user's locale `locale`
  kSetSourcePath,    // the Setup key's SourcePath `path`
  kInsertDisc,       // the disc in CD-ROM drive `drive`
  kAnswerFrom,       // no change of the PC: the user answers Windows' prompt
                     // for nl-430.sys with the folder `path`
};

struct RemedyStep {
  std::string step;                // code page 1252
  std::vector<std::string> goals;  // the goals it is for
  PcChange change = PcChange::kNone;
  std::string path;
  std::uint32_t locale = 0;
  char drive = 0;
};

// The steps for a run's facts and findings, the first cause first; none
// when every goal is reached or assumed and the PC's facts hold nothing
// against the adapter.
std::vector<RemedyStep> ProposeRemedies(const RunFacts& facts, const std::vector<Finding>& findings);

// How a step fared when it was tried: "reaches" (the run on the changed
// image reaches every goal it is for), "does not reach", or "not
// checkable" (its effect rests on what the case does not hold).
struct CheckedRemedy {
  RemedyStep step;
  std::string checked;
  std::vector<std::string> reaches;  // the goals reached with it
};

// The check of `step` from the findings of the run on the changed image.
CheckedRemedy CheckedFrom(const RemedyStep& step, const std::vector<Finding>& findingsWithIt);
CheckedRemedy NotCheckable(const RemedyStep& step);

// "== What to do ==" lines: "1. <step> [checked: reaches driver-copy, ...]".
std::string RemediesText(const std::vector<CheckedRemedy>& remedies);

}  // namespace nl::findings
