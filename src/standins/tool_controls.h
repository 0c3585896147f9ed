// The control identifiers of the system tools' dialogs that the installer
// relies on, as both test beds' stand-ins carry them: the simulated ones
// (stand_in_parts.h) and the stand-in rundll32.exe of the Wine runs
// (tests/wine/standin). Plain constants, for either compiler.
#pragma once

namespace nl {

constexpr int kForwardButton = 12324;
constexpr int kFinishButton = 12325;
constexpr int kOkButton = 1;
constexpr int kCancelButton = 2;
constexpr int kYesButton = 6;
constexpr int kNoButton = 7;
constexpr int kInstallerPageControl = 502;
constexpr int kWizardFirstControl = 1551;
constexpr int kManufacturerList = 1580;
constexpr int kModelList = 1581;

}  // namespace nl
