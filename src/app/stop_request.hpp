// SPDX-License-Identifier: MIT
// How a process without a console hears that it is to stop: on POSIX
// SIGTERM (a service manager's stop, a container's), SIGINT and SIGHUP; on
// Windows Ctrl-C, Ctrl-Break, the console closing and the system shutting
// down. Each back end implements these in a file of its own
// (platform/terminal/stop_request.cpp, platform/win32/stop_request.cpp);
// the server's command calls them from its single thread.
//
// The order: watchStopRequests once, then stopRequested at every turn of
// the server's loop. A request ends the loop's wait under way on POSIX (the
// wait is interrupted); the loop also looks at least every few hundred
// milliseconds, so that one that comes just before a wait is seen soon.
#pragma once

// From now on a request to stop is noted instead of ending the process.
void watchStopRequests();
// True once a request has come.
bool stopRequested();
