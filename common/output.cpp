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

bool NormalOutputAllowed() {
  return !Output.silentMode && (Output.slaveLevel == 0 || Output.slaveInfo) && !Output.isChild;
}

}  // namespace

std::string FormatTextV(const char* format, va_list args) {
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (length < 0) return {};
  if (size_t(length) < sizeof small) return std::string(small, size_t(length));
  std::string text(size_t(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

void SetStdoutWriter(StdoutWriter writer) { customWriter = writer; }

void LogLine(const char* format, ...) {
  if (!Output.textLog) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  if (text.size() > 1 && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  int second = int((platform::NowMs() - Output.textLogOpenTick) / 1000);
  if (second == Output.lastLogSecond) {
    std::fprintf(Output.textLog, "      %s\n", text.c_str());
  } else {
    std::fprintf(Output.textLog, "%4d  %s\n", second, text.c_str());
    Output.lastLogSecond = second;
  }
  std::fflush(Output.textLog);
}

void Log(const char* format, ...) {
  if (!Output.textLog) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  LogLine("     %s", text.c_str());
}

void Send(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  LogLine("<<-- %s", text.c_str());
  if (NormalOutputAllowed()) WriteStdoutLine(text.c_str());
}

void Reply(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  Log("!!!! %s", text.c_str());
  if (!Output.isChild) WriteStdoutLine(text.c_str());
}

void InfoString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  Log("     %s", text.c_str());
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
