// How the pty tools stop: SIGINT, SIGTERM or SIGHUP makes a pipe readable,
// which their serving loop watches.
#pragma once

// Installs the handlers; returns the pipe's end to watch. Raises Exception
// when the pipe cannot be made.
int StopSignalFd();
