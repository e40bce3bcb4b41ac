#pragma once
#include <QStringList>

// Plugs the subsystems into the main window and the start-up and shutdown sequences.
namespace modSubsystems {
// Called once by the program before the start procedure.
void Install();
// For benchmarks only: the addresses that the environment variable QV_BENCH_PAGES names
// (separated by blanks), which the start-up opens in place of the start page, one tab each,
// the first one on show. Empty when the variable is not set.
QStringList BenchmarkPages();
// For benchmarks only: when QV_BENCH_PAGES is set, writes "<moment> <milliseconds since the
// epoch>" on standard output, so a benchmark can see where the start's time goes.
void ReportToBenchmark(const char* moment);
} // namespace modSubsystems
