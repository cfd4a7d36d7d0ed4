#pragma once
// Measurements that need a process of their own: peak memory of a member-list load, and the
// program's start-up to the login window.
#include <QString>

namespace quorvel::bench {

struct MemoryResult {
    bool ok = false;
    QString error;
    double peakKb = 0;   // VmHWM once the list is loaded
    double beforeKb = 0; // VmRSS with the page shown and the table open, before the load
    double loadSeconds = 0;
};

// Runs this program again with --memory-probe on runDir (holding thy.dat of n members).
MemoryResult measureMemory(const QString& runDir, int n);
// The child's side: opens the table, shows the add page, loads the list, prints the numbers.
int runMemoryProbe(const QString& runDir);

struct StartupResult {
    bool ok = false;
    QString error;
    int runs = 0;
    double medianSeconds = 0;
    double firstSeconds = 0;
};

// Starts a copy of quorvel in dir (made with an operator table) runs times with
// --measure-startup: the time from starting the process to the login window's first paint.
StartupResult measureStartup(const QString& dir, int runs);

} // namespace quorvel::bench
