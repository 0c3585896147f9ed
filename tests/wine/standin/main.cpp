// Chooses the role from the command line, as rundll32 chooses the entry point;
// a second copy started by the wizard plays the New Hardware Found box.

#include <cstring>

#include "standin.h"  // brings <windows.h>, needed before the next header

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  const char* commandLine = GetCommandLineA();
  const char* newHardware = std::strstr(commandLine, kNewHardwareCommand);
  if (newHardware != nullptr) {
    SetLogRole("newhw");
  } else if (std::strstr(commandLine, "InstallDevice_Rundll Infrared") != nullptr) {
    SetLogRole("installer");
  } else if (std::strstr(commandLine, "InstallDevice_Rundll") != nullptr) {
    SetLogRole("wizard");
  } else if (std::strstr(commandLine, "Control_RunDLL Netcpl.cpl") != nullptr) {
    SetLogRole("panel");
  }
  char options[256] = "";
  GetEnvironmentVariableA("NL_STANDIN", options, sizeof options);
  Log("start lcid=0x%04lX options=\"%s\" cmd=%s",
      static_cast<unsigned long>(GetUserDefaultLCID()), options, commandLine);

  if (newHardware != nullptr) {
    StartNewHardwareBox(newHardware + std::strlen(kNewHardwareCommand));
  } else if (std::strstr(commandLine, "InstallDevice_Rundll Infrared") != nullptr) {
    StartClassInstaller();
  } else if (std::strstr(commandLine, "InstallDevice_Rundll") != nullptr) {
    StartHardwareWizard();
  } else if (std::strstr(commandLine, "Control_RunDLL Netcpl.cpl") != nullptr) {
    StartNetworkPanel();
  } else {
    Log("unknown command line");
    return 3;
  }
  const int code = RunMessageLoop();
  Log("end code=%d", code);
  return code;
}
