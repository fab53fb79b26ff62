#pragma once

#include <cstddef>

namespace tallemo {

// Asks the kernel for huge pages in [data, data + size) (the whole 2 MiB pages inside it). A long
// statement's text and line index are written from start to end, and their tens of megabytes then
// cost a few dozen page faults rather than thousands, which is where most of the kernel's share
// of a companion run goes. Nothing happens on other systems or for less than a huge page.
void adviseHugePages(void* data, std::size_t size);

} // namespace tallemo
