// Why a serial port cannot be opened, in the operator's words. The serial
// link library answers only yes or no; the program names the reason so that
// a missing adapter or a permission problem is not left to guessing.
#pragma once

#include <string>

// Empty when the port can be opened (or no reason can be named).
std::string PortProblem(const std::string& portName);
