// Start-up care of a command-line program's standard descriptors.
#pragma once

namespace process {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed (a program started
// with ">&-"), so the first file or socket the program opens cannot take the place of
// standard output and receive its text. Call first in main; never throws.
void OpenStandardStreams() noexcept;

}  // namespace process
