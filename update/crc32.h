// Standard reflected CRC-32 (polynomial 0xEDB88320, as zlib computes it),
// used for image payloads and for the boot environment copies.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint32_t crc32_tab[256];

// Continues a CRC over len more bytes. Start with prev = 0; feeding the data
// in pieces gives the same result as one call over the whole.
uint32_t crc32(uint32_t prev, const void *buf, size_t len);
