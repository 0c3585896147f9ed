// The command lines of the three system tools the installer starts, and the
// commands that bring the wizard and the network panel to their end. The
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

// The wizard's finish button, and the network panel's OK button.
constexpr int kWizardFinishButton = 12325;
constexpr int kPanelOkButton = 1;

}  // namespace nl
