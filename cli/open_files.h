#pragma once

#include <QString>

// Open files are what a run of many units runs out of first: a unit holds its
// port, the port's lock file and its thread's event-loop wake-up while it runs.
// Out of them, the event loop's library aborts the whole process, units half
// done; so the need is checked before the first command goes out.
inline constexpr int kOpenFilesPerUnit = 4;     // three measured, one to spare
inline constexpr int kOpenFilesBesideUnits = 32; // standard streams, the main event loop, the libraries'

// Raises this process's limit of open files as far as the system allows
// (the hard limit) and returns the limit now in force.
long long raiseOpenFileLimit();

// Why `atOnce` units cannot run side by side within `limit` open files, with
// the --jobs that would fit; empty when they can.
QString openFilesProblem(int atOnce, long long limit);
