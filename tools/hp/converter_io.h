#pragma once
// What the carried converter programs share: reading their input whole,
// writing their output so that it is either complete or not there at all, and
// one way of failing.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pelindra::converter {

// The whole file; throws std::runtime_error when it cannot be read or is
// larger than limit bytes.
std::vector<std::uint8_t> ReadInput(const std::wstring& path, std::size_t limit);

// Writes through a temporary file beside the output and moves it into place.
// Throws std::runtime_error; nothing is left behind then.
void WriteOutput(const std::wstring& path, std::span<const std::uint8_t> bytes);

// Runs the conversion. Any failure is reported on the standard error with the
// program's name, the output file is removed (a stale one from an earlier run
// would pass for the result) and the exit code is 1.
int Run(const char* program, const std::wstring& output, const std::function<void()>& convert);

}  // namespace pelindra::converter
