// Output operations used by every subsystem: protocol lines to the front end
// and the text log. All take printf-style formats.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>
#include <cstdint>

// Flags that keep normal output from the front end.
struct OutputState {
  bool silentMode = false;   // "goe" search: reports only logged
  int slaveLevel = 0;        // "slave" keyword of "go"
  bool slaveInfo = false;    // the normal lines go out in slave mode too (a cluster controller reads them)
  bool isChild = false;      // child process of a group: never writes to stdout
  // Text log (open when non-null) and its timing column.
  std::FILE* textLog = nullptr;
  uint64_t textLogOpenTick = 0;
  int lastLogSecond = -1;
};
extern OutputState Output;

// Where stdout text goes; replaced by tests to capture protocol lines.
using StdoutWriter = void (*)(std::string_view line);
void SetStdoutWriter(StdoutWriter writer);   // nullptr restores the real stdout

// Protocol line: logged as "<<-- %s", written unless silent, slave or child.
void Send(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Answer that goes out even in silent mode ("readyok"); logged as "!!!! %s".
void Reply(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "info string ..." line; logged with five blanks of indentation.
void InfoString(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Log only, indented by five blanks.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// One text-log line with the seconds column; nothing when the log is closed.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf into a string of any length.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);
// Three-line report of a failed system call.
void ReportSystemError(const char* callName, int errorCode);
