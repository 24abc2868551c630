#pragma once

// Runs the windowed application until the user quits: one window over the shared coordinator,
// which reopens the file of the last run. A file named on the command line is opened too.
// Returns the exit status. Waits for pending progress saves before returning.
int runApplication(int &argc, char **argv);
