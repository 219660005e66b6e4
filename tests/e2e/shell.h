#pragma once

#include <string>

// Runs a shell command and returns its standard output without trailing newlines and spaces.
std::string run(const std::string& command);

// Runs a shell command; true when it exits with 0.
bool shell(const std::string& command);
