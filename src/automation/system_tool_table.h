// The command lines of the three system tools the installer starts, the
// wizard's controls and the buttons that bring the wizard and the network
// panel to their end. The
// installer uses them; the support tool's findings look for them among the
// processes started and the messages sent.
#pragma once

namespace nl {

constexpr const char* kClassInstallerCommandLine =
    "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared";
constexpr const char* kWizardCommandLine =
    "rundll32 sysdm.cpl,InstallDevice_Rundll";
constexpr const char* kNetworkPanelCommandLine =
    "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl";

// The wizard's controls it is stepped through with: the first page's
// letter box, the manufacturer list and the model list; and its finish
// button.
constexpr int kWizardLetterControl = 1551;
constexpr int kWizardManufacturerList = 1580;
constexpr int kWizardModelList = 1581;
constexpr int kWizardFinishButton = 12325;
// The network panel's OK button.
constexpr int kPanelOkButton = 1;

}  // namespace nl
