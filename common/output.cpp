#include "common/output.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include "platform/platform.h"

OutputState Output;

namespace {
StdoutWriter customWriter = nullptr;

void WriteStdoutLine(const char* text) {
  if (customWriter) {
    customWriter(text);
    return;
  }
  std::string line(text);
  line += '\n';
  platform::WriteStdout(line.data(), line.size());
}

bool NormalOutputAllowed() { return !Output.silentMode && Output.slaveLevel == 0 && !Output.isChild; }

template <size_t N> void Format(char (&buffer)[N], const char* format, va_list args) {
  std::vsnprintf(buffer, N, format, args);
}
}  // namespace

void SetStdoutWriter(StdoutWriter writer) { customWriter = writer; }

void LogLine(const char* format, ...) {
  if (!Output.textLog) return;
  char text[8192];
  va_list args;
  va_start(args, format);
  Format(text, format, args);
  va_end(args);
  size_t length = std::strlen(text);
  if (length > 1 && (text[length - 1] == '\n' || text[length - 1] == '\r')) text[length - 1] = '\0';
  int second = int((platform::NowMs() - Output.textLogOpenTick) / 1000);
  if (second == Output.lastLogSecond) {
    std::fprintf(Output.textLog, "      %s\n", text);
  } else {
    std::fprintf(Output.textLog, "%4d  %s\n", second, text);
    Output.lastLogSecond = second;
  }
  std::fflush(Output.textLog);
}

void Log(const char* format, ...) {
  if (!Output.textLog) return;
  char text[8192];
  va_list args;
  va_start(args, format);
  Format(text, format, args);
  va_end(args);
  LogLine("     %s", text);
}

void Send(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  Format(text, format, args);
  va_end(args);
  LogLine("<<-- %s", text);
  if (NormalOutputAllowed()) WriteStdoutLine(text);
}

void Reply(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  Format(text, format, args);
  va_end(args);
  Log("!!!! %s", text);
  if (!Output.isChild) WriteStdoutLine(text);
}

void InfoString(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  Format(text, format, args);
  va_end(args);
  Log("     %s", text);
  if (NormalOutputAllowed()) {
    std::string line = "info string ";
    line += text;
    WriteStdoutLine(line.c_str());
  }
}

void ReportSystemError(const char* callName, int errorCode) {
  std::string message = platform::SystemErrorText(errorCode);
  Send("ERROR: API        = %s", callName);
  Send("error code = %d", errorCode);
  Send("message    = %s", message.c_str());
}
