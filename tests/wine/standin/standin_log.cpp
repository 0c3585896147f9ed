#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "standin.h"

namespace {

const char* g_role = "rundll32";

void LogPath(char* path, DWORD capacity) {
  DWORD length = GetEnvironmentVariableA("NL_STANDIN_LOG", path, capacity);
  if (length > 0 && length < capacity) return;
  length = GetModuleFileNameA(nullptr, path, capacity);
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) slash = path - 1;
  std::snprintf(slash + 1, capacity - (slash + 1 - path), "standin.log");
}

}  // namespace

void SetLogRole(const char* role) { g_role = role; }

void Log(const char* format, ...) {
  char line[1024];
  int used = std::snprintf(line, sizeof line, "%lu %lu %s ",
                           static_cast<unsigned long>(GetTickCount()),
                           static_cast<unsigned long>(GetCurrentProcessId()),
                           g_role);
  va_list args;
  va_start(args, format);
  used += std::vsnprintf(line + used, sizeof line - used - 2, format, args);
  va_end(args);
  if (used > static_cast<int>(sizeof line) - 3) used = sizeof line - 3;
  line[used++] = '\r';
  line[used++] = '\n';

  char path[MAX_PATH];
  LogPath(path, sizeof path);
  // Opened per line, shared, appending: several instances may write in turn.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line, used, &written, nullptr);
      CloseHandle(file);
      return;
    }
    Sleep(10);
  }
}

const char* DescribeWindow(LPARAM window, char* buffer, int capacity) {
  HWND handle = reinterpret_cast<HWND>(window);
  if (handle == nullptr) {
    std::snprintf(buffer, capacity, "none");
  } else if (IsWindow(handle)) {
    std::snprintf(buffer, capacity, "ctl=%d", GetDlgCtrlID(handle));
  } else {
    std::snprintf(buffer, capacity, "invalid");
  }
  return buffer;
}
