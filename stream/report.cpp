#include "stream/report.h"

#include <cstdarg>
#include <cstdio>

namespace {

void Print(FILE* stream, const char* format, va_list args) {
  std::vfprintf(stream, format, args);
  std::fflush(stream);
}

}  // namespace

void ReportWait(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Print(STREAM_NPAPI_REPORTING ? stderr : stdout, format, args);
  va_end(args);
}

void Report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Print(stdout, format, args);
  va_end(args);
}
