#pragma once

// Ends the job when memory runs out: one "ERROR:" line for the scheduler and
// exit status 1. Never returns.
[[noreturn]] void OutOfMemory();

// Installs OutOfMemory as the handler of failed operator new.
void InstallOutOfMemoryHandler();
