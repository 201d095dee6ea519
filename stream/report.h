#pragma once
// Where the stream client's failure reports go. The viewer modules build the same session code
// twice: the ActiveX build (STREAM_NPAPI_REPORTING 0) and the NPAPI plug-in's build (1), which
// reports three failures differently: a failed RTP bind is a line instead of a message box,
// the reply reader's lines carry no error numbers, and the timed readiness waits write their
// errors to the standard error stream.

#ifndef STREAM_NPAPI_REPORTING
#define STREAM_NPAPI_REPORTING 0
#endif

// printf-style line from a timed readiness wait (standard output, or standard error in the
// NPAPI build). Flushed at once: the lines are read by people and by tests while a run goes on.
void ReportWait(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style diagnostic line on standard output, flushed.
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
