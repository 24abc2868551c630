#pragma once

class QCoreApplication;

// Makes SIGTERM and SIGHUP (a logout, a plain `kill`) end the application's event loop, so that
// what follows exec() runs: pending progress saves are written before the process ends. A second
// such signal, once quitting has begun, ends the process at once. Call once, after the
// application object is made. False when the signals could not be taken over.
bool quitOnTerminationSignals(QCoreApplication &app);
