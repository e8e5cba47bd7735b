#pragma once
// A millisecond counter since some fixed moment (the system's uptime).
#include <cstdint>

uint32_t ticksMs();
