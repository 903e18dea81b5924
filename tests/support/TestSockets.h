#pragma once

// Sockets this process holds now (descriptors that are sockets), to check
// that a worker or resolver gives back what it opened.
int OpenSocketCount();
// Waits (up to msecs) until the count is expected; false if it never is.
bool WaitSocketCount(int expected, int msecs = 2000);
