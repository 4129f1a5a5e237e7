#pragma once
// The service on Windows: the platform side of service::Host over the helper library, the
// standard-input reader thread and the standard-output writer.

#include <string>

namespace service {

// Runs the service; in practice the process ends from the reader thread (0) or from emit (1).
int run();

// Writes the line and one LF on standard output at once; ends the process with exit code 1 when
// the write fails.
void emit(const std::string& line);

}  // namespace service
