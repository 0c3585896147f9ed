// Two states of one PC side by side, as engineers hold a Regshot "before"
// against an "after": each given as a case file NLDIAG.EXE wrote or as a
// system image (a folder), and the account of what differs between them:
// the registry (as any two .reg files are compared) and the files of the
// drives. The way to hold simrun's prediction (an image kept with --keep)
// against the case the customer took after the run.
#pragma once

#include <string>

namespace simrun {

// Prints the account; 0 when both could be read, 2 otherwise (the reason on
// the standard error). `work`: a new folder for the images made from cases.
int CompareCasesOrImages(const std::string& first, const std::string& second,
                         const std::string& sampleImage, bool strict, const std::string& work);

}  // namespace simrun
